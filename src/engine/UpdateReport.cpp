#include "UpdateReport.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <system_error>

#include "Stages.h"
#include "StageText.h"
#include "SystemInfo.h"
#include "TextCodec.h"
#include "VersionFile.h"
#include "Work_BK.h"

namespace {

// The report's headings in its two languages.
struct CHeadings {
    const char* szTitle;
    const char* szMade;
    const char* szProgram;
    const char* szSystem;
    const char* szPort;
    const char* szNoPort;
    const char* szAdapter;
    const char* szNoAdapter;
    const char* szSearch;
    const char* szDevice;
    const char* szBefore;
    const char* szAfter;
    const char* szAfterUnanswered;
    const char* szVersions; // "firmware %s, data %s, radar %s"
    const char* szFolder;
    const char* szNoFolder;
    const char* szMissing;
    const char* szUnreadable;
    const char* szBytes;
    const char* szMenu;
    const char* szMenuYes;
    const char* szMenuNo;
    const char* szStages;
    const char* szNoUpdate;
    const char* szStageLine; // start, stage, seconds, done, total
    const char* szRunning;
    const char* szResult;
    const char* szTrace;
};

constexpr CHeadings kRussian = {
    "Отчёт IAP Tool", "Составлен", "Программа", "Система", "Порт", "устройство не найдено", "Адаптер",
    "не опознан", "Поиск", "Устройство (по ver.txt)", "До обновления", "После обновления",
    "не сообщило свои версии", "ПО %s, база %s, радар %s", "Папка обновления", "не выбрана", "нет файла",
    "не читается", "байт", "Меню устройства", "передано для записи", "не менялось", "Этапы", "обновление не запускалось",
    "%s  этап %d  %.1f с  ответов %u из %u  ", "не завершён", "Итог", "Журнал (последние строки)"};

constexpr CHeadings kEnglish = {
    "IAP Tool report", "Made", "Program", "System", "Port", "no device found", "Adapter", "not recognised", "Search",
    "Device (as ver.txt names it)", "Before the update", "After the update", "did not report its versions",
    "firmware %s, data %s, radar %s", "Update folder", "none chosen", "missing", "cannot be read", "bytes",
    "Device menu", "handed over to be written", "unchanged", "Stages", "no update was started",
    "%s  stage %d  %.1f s  %u of %u answered  ", "did not end", "Result", "Trace (last lines)"};

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

std::string Versions(const CHeadings& H, const std::array<std::wstring, 3>& Versions)
{
    char szText[160];
    std::snprintf(szText, sizeof szText, H.szVersions, Utf8(Versions[0]).c_str(), Utf8(Versions[1]).c_str(),
                  Utf8(Versions[2]).c_str());
    return szText;
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

std::string DescribeAdapter(const CUsbAdapter& A)
{
    char szIds[16];
    std::snprintf(szIds, sizeof szIds, "%04x:%04x", A.wVendor, A.wProduct);
    std::string strText = szIds;
    if (const CUsbAdapterModel* pModel = FindUsbAdapterModel(A.wVendor, A.wProduct))
        strText += std::string(" ") + pModel->szFamily;
    for (const std::string* pName : {&A.strManufacturer, &A.strProduct})
        if (!pName->empty())
            strText += ", " + *pName;
    strText += ", driver " + (A.strDriver.empty() ? std::string("-") : A.strDriver);
    return strText;
}

void AddFiles(const CHeadings& H, const std::filesystem::path& Folder, std::string& strOut)
{
    for (const CStage& AStage : kStages) {
        if (AStage.szFile == nullptr)
            continue;
        const std::filesystem::path File = Folder / AStage.szFile;
        std::error_code AError;
        const auto nSize = std::filesystem::file_size(File, AError);
        strOut += std::string("  ") + AStage.szFile + "  ";
        if (AError) {
            strOut += std::string(H.szMissing) + "\n";
            continue;
        }
        const auto Digest = HashFileSha256(File);
        strOut += std::to_string(nSize) + " " + H.szBytes + "  " +
                  (Digest ? "SHA-256 " + Hex(*Digest) : std::string(H.szUnreadable)) + "\n";
    }
    const auto Texts = ReadVersionFile(Folder / "ver.txt");
    strOut += "  ver.txt: " + Utf8(Texts[0]) + " / " + Utf8(Texts[1]) + " / " + Utf8(Texts[2]) + " / " +
              Utf8(Texts[3]) + "\n";
}

void AddStages(const CHeadings& H, const CUpdateJournal& AJournal, std::string& strOut)
{
    char szLine[200];
    for (const CUpdateJournal::CStageRecord& A : AJournal.GetStages()) {
        std::snprintf(szLine, sizeof szLine, H.szStageLine, FormatLocalTime(A.tStarted, true).c_str(),
                      static_cast<int>(A.nStage), A.dSeconds, A.nDone, A.nTotal);
        strOut += std::string("  ") + szLine +
                  (A.Result ? Utf8(GetStageText(A.nStage, *A.Result == 0 ? EStageText::Succeeded : EStageText::Failed))
                            : std::string(H.szRunning)) +
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
    const CHeadings& H = A.bRussian ? kRussian : kEnglish;
    std::string strOut = std::string(H.szTitle) + "\n";
    strOut += std::string(H.szMade) + ": " + FormatLocalTime(std::chrono::system_clock::now()) + "\n";
    for (const std::string& strLine : A.Program)
        strOut += std::string(H.szProgram) + ": " + strLine + "\n";
    strOut += std::string(H.szSystem) + ": " + DescribeSystem() + "\n\n";

    strOut += std::string(H.szPort) + ": " +
              (A.btPort != 0 ? "COM" + std::to_string(A.btPort) + " (" + A.strPortPath + ")" : std::string(H.szNoPort)) +
              "\n";
    if (A.btPort != 0) {
        const CUsbAdapter* pAdapter = FindAdapter(A);
        strOut += std::string(H.szAdapter) + ": " + (pAdapter ? DescribeAdapter(*pAdapter) : H.szNoAdapter) + "\n";
    }
    for (const CUsbAdapter& AAdapter : A.Adapters)
        if (A.btPort == 0)
            strOut += std::string(H.szAdapter) + ": " + DescribeAdapter(AAdapter) + "\n";
    for (const std::string& strLine : A.SearchLines)
        if (const std::size_t nText = strLine.find_first_not_of(' '); nText != std::string::npos)
            strOut += std::string(H.szSearch) + ": " + strLine.substr(nText) + "\n";

    strOut += "\n" + std::string(H.szDevice) + ":" +
              (A.Folder.empty() ? std::string() : " " + Utf8(ReadVersionFile(A.Folder / "ver.txt")[0])) + "\n";
    if (A.DeviceBefore)
        strOut += std::string("  ") + H.szBefore + ": " + Versions(H, *A.DeviceBefore) + "\n";
    if (A.DeviceAfter)
        strOut += std::string("  ") + H.szAfter + ": " + Versions(H, *A.DeviceAfter) + "\n";
    else if (A.bAfterUnanswered)
        strOut += std::string("  ") + H.szAfter + ": " + H.szAfterUnanswered + "\n";

    strOut += "\n" + std::string(H.szFolder) + ": " +
              (A.Folder.empty() ? std::string(H.szNoFolder) : Utf8(PathToWide(A.Archive.empty() ? A.Folder : A.Archive))) +
              "\n";
    if (!A.Folder.empty())
        AddFiles(H, A.Folder, strOut);
    strOut += std::string(H.szMenu) + ": " + (A.bMenuHandedOver ? H.szMenuYes : H.szMenuNo) + "\n";

    strOut += "\n" + std::string(H.szStages) + ":\n";
    if (A.Journal && A.Journal->HasBegun())
        AddStages(H, *A.Journal, strOut);
    else
        strOut += std::string("  ") + H.szNoUpdate + "\n";
    if (!A.strResult.empty())
        strOut += std::string(H.szResult) + ": " + Utf8(A.strResult) + "\n";
    if (!A.strWhy.empty())
        strOut += "  " + Utf8(A.strWhy) + "\n";

    strOut += "\n" + std::string(H.szTrace) + ":\n";
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

std::string WriteReport(const std::filesystem::path& File, const std::string& strText)
{
    std::ofstream AFile(File, std::ios::binary | std::ios::trunc);
    if (!AFile)
        return "cannot be created";
    AFile.write(strText.data(), static_cast<std::streamsize>(strText.size()));
    AFile.flush();
    return AFile ? "" : "cannot be written";
}
