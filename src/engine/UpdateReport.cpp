#include "UpdateReport.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <system_error>

#include "Stages.h"
#include "StageText.h"
#include "SystemInfo.h"
#include "TextCatalog.h"
#include "TextCodec.h"
#include "VersionFile.h"
#include "Work_BK.h"

namespace {

std::string Utf8(const std::wstring& str) { return WideToUtf8(str); }

std::string Hex(const std::array<std::uint8_t, 32>& ADigest)
{
    std::string strHex;
    char szByte[4];
    for (const std::uint8_t bt : ADigest) {
        std::snprintf(szByte, sizeof szByte, "%02x", bt);
        strHex += szByte;
    }
    return strHex;
}

std::string Versions(ELanguage eLanguage, const std::array<std::wstring, 3>& Versions)
{
    return FormatText(eLanguage, "ПО {1}, база {2}, радар {3}",
                      {Utf8(Versions[0]), Utf8(Versions[1]), Utf8(Versions[2])});
}

// "Heading: value" on a line of its own.
std::string Line(ELanguage eLanguage, CTextKey AHeading, std::string_view strValue)
{
    return std::string(GetText(eLanguage, AHeading)) + ": " + std::string(strValue) + "\n";
}

// The adapter behind the port: the one whose serial port is the port's
// device (ttyUSB0 behind /dev/serial/by-id/..., COM3 on Windows).
const CUsbAdapter* FindAdapter(const CReportFacts& A)
{
    std::error_code AError;
    const std::filesystem::path Device = std::filesystem::canonical(PathFromUtf8(A.strPortPath), AError);
    const std::string strName = AError ? "COM" + std::to_string(A.btPort) : Utf8(PathToWide(Device.filename()));
    for (const CUsbAdapter& AAdapter : A.Adapters)
        for (const std::string& strPort : AAdapter.Ports)
            if (strPort == strName)
                return &AAdapter;
    return nullptr;
}

std::string DescribeAdapter(const CUsbAdapter& A, ELanguage eLanguage)
{
    char szIds[16];
    std::snprintf(szIds, sizeof szIds, "%04x:%04x", A.wVendor, A.wProduct);
    std::string strText = szIds;
    if (const CUsbAdapterModel* pModel = FindUsbAdapterModel(A.wVendor, A.wProduct))
        strText += std::string(" ") + pModel->szFamily;
    for (const std::string* pName : {&A.strManufacturer, &A.strProduct})
        if (!pName->empty())
            strText += ", " + *pName;
    strText += FormatText(eLanguage, ", драйвер {1}", {A.strDriver.empty() ? std::string("-") : A.strDriver});
    return strText;
}

void AddFiles(ELanguage eLanguage, const std::filesystem::path& Folder, std::string& strOut)
{
    for (const CStage& AStage : kStages) {
        if (AStage.szFile == nullptr)
            continue;
        const std::filesystem::path File = Folder / AStage.szFile;
        std::error_code AError;
        const auto nSize = std::filesystem::file_size(File, AError);
        strOut += std::string("  ") + AStage.szFile + "  ";
        if (AError) {
            strOut += std::string(GetText(eLanguage, "нет файла")) + "\n";
            continue;
        }
        const auto Digest = HashFileSha256(File);
        strOut += FormatText(eLanguage, "{1} байт", {std::to_string(nSize)}) + "  " +
                  (Digest ? "SHA-256 " + Hex(*Digest) : std::string(GetText(eLanguage, "не читается"))) + "\n";
    }
    const auto Texts = ReadVersionFile(Folder / "ver.txt");
    strOut += "  ver.txt: " + Utf8(Texts[0]) + " / " + Utf8(Texts[1]) + " / " + Utf8(Texts[2]) + " / " +
              Utf8(Texts[3]) + "\n";
}

void AddStages(ELanguage eLanguage, const CUpdateJournal& AJournal, std::string& strOut)
{
    char szSeconds[32];
    for (const CUpdateJournal::CStageRecord& A : AJournal.GetStages()) {
        std::snprintf(szSeconds, sizeof szSeconds, "%.1f", A.dSeconds);
        strOut += "  " +
                  FormatText(eLanguage, "{1}  этап {2}  {3} с  ответов {4} из {5}  ",
                             {FormatLocalTime(A.tStarted, true), std::to_string(A.nStage), szSeconds,
                              std::to_string(A.nDone), std::to_string(A.nTotal)}) +
                  (A.Result ? Utf8(GetStageText(A.nStage, *A.Result == 0 ? EStageText::Succeeded : EStageText::Failed,
                                                eLanguage))
                            : std::string(GetText(eLanguage, "не завершён"))) +
                  "\n";
    }
}

// Every mention of the home folder is written "~": a report names no user.
std::string HideHome(std::string strText)
{
    const std::string strHome = Utf8(PathToWide(GetHomeFolder()));
    if (strHome.size() < 2)
        return strText;
    for (std::size_t nAt = strText.find(strHome); nAt != std::string::npos; nAt = strText.find(strHome, nAt + 1))
        strText.replace(nAt, strHome.size(), "~");
    return strText;
}

} // namespace

void GatherConnection(const CWork_BK& AWork, CReportFacts& AFacts)
{
    AFacts.btPort = AWork.IsConnected() ? AWork.GetPortNumber() : 0;
    AFacts.strPortPath = AWork.IsConnected() ? AWork.GetPortPath() : std::string();
    AFacts.Adapters = ReadUsbAdapters();
}

std::string MakeReport(const CReportFacts& A)
{
    const ELanguage eLanguage = A.eLanguage;
    const auto Heading = [eLanguage](CTextKey AKey) { return std::string(GetText(eLanguage, AKey)); };
    std::string strOut = Heading("Отчёт IAP Tool") + "\n";
    strOut += Line(eLanguage, "Составлен", FormatLocalTime(std::chrono::system_clock::now()));
    for (const std::string& strLine : A.Program)
        strOut += Line(eLanguage, "Программа", strLine);
    strOut += Line(eLanguage, "Система", DescribeSystem()) + "\n";

    strOut += Line(eLanguage, "Порт",
                   A.btPort != 0 ? "COM" + std::to_string(A.btPort) + " (" + A.strPortPath + ")"
                                 : Heading("устройство не найдено"));
    if (A.btPort != 0) {
        const CUsbAdapter* pAdapter = FindAdapter(A);
        strOut += Line(eLanguage, "Адаптер", pAdapter ? DescribeAdapter(*pAdapter, eLanguage) : Heading("не опознан"));
    }
    for (const CUsbAdapter& AAdapter : A.Adapters)
        if (A.btPort == 0)
            strOut += Line(eLanguage, "Адаптер", DescribeAdapter(AAdapter, eLanguage));
    for (const std::string& strLine : A.SearchLines)
        if (const std::size_t nText = strLine.find_first_not_of(' '); nText != std::string::npos)
            strOut += Line(eLanguage, "Поиск", strLine.substr(nText));

    strOut += "\n" + Heading("Устройство (по ver.txt)") + ":" +
              (A.Folder.empty() ? std::string() : " " + Utf8(ReadVersionFile(A.Folder / "ver.txt")[0])) + "\n";
    if (A.DeviceBefore)
        strOut += "  " + Line(eLanguage, "До обновления", Versions(eLanguage, *A.DeviceBefore));
    if (A.DeviceAfter)
        strOut += "  " + Line(eLanguage, "После обновления", Versions(eLanguage, *A.DeviceAfter));
    else if (A.bAfterUnanswered)
        strOut += "  " + Line(eLanguage, "После обновления", Heading("не сообщило свои версии"));

    strOut += "\n" + Line(eLanguage, "Папка обновления",
                          A.Folder.empty() ? Heading("не выбрана")
                                           : Utf8(PathToWide(A.Archive.empty() ? A.Folder : A.Archive)));
    if (!A.Folder.empty())
        AddFiles(eLanguage, A.Folder, strOut);
    strOut += Line(eLanguage, "Меню устройства", A.bMenuHandedOver ? Heading("передано для записи") : Heading("не менялось"));

    strOut += "\n" + Heading("Этапы") + ":\n";
    if (A.Journal && A.Journal->HasBegun())
        AddStages(eLanguage, *A.Journal, strOut);
    else
        strOut += "  " + Heading("обновление не запускалось") + "\n";
    if (!A.strResult.empty())
        strOut += Line(eLanguage, "Итог", Utf8(A.strResult));
    if (!A.strWhy.empty())
        strOut += "  " + Utf8(A.strWhy) + "\n";

    strOut += "\n" + Heading("Журнал (последние строки)") + ":\n";
    for (const std::string& strLine : A.Trace)
        strOut += strLine + "\n";
    return HideHome(std::move(strOut));
}

std::string MakeReportFileName()
{
    std::tm ATime{};
    char szName[64] = "iap-tool-report.txt";
    if (ToLocalTime(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()), ATime))
        std::strftime(szName, sizeof szName, "iap-tool-report-%Y%m%d-%H%M%S.txt", &ATime);
    return szName;
}

EReportWrite WriteReport(const std::filesystem::path& File, const std::string& strText)
{
    std::ofstream AFile(File, std::ios::binary | std::ios::trunc);
    if (!AFile)
        return EReportWrite::NotCreated;
    AFile.write(strText.data(), static_cast<std::streamsize>(strText.size()));
    AFile.flush();
    return AFile ? EReportWrite::Written : EReportWrite::NotWritten;
}
