#include "UpdateCheck.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "UpdateSource.h"
#include "TextCatalog.h"
#include "TextCodec.h"
#include "UpdateFailure.h"
#include "VersionFile.h"

namespace {

// The stages' names: the JSON's, which scripts read, and the text's.
const char* StageName(const CStage& AStage)
{
    static const char* const kNames[] = {"firmware", "camera database", "sound data", "radar firmware", "device menu"};
    return kNames[AStage.nStage - 1];
}

std::string_view StageName(const CStage& AStage, ELanguage eLanguage)
{
    static constexpr CTextKey kNames[] = {"ПО", "база камер", "звуковые файлы", "ПО радара", "меню устройства"};
    return GetText(eLanguage, kNames[AStage.nStage - 1]);
}

// The text followed by spaces up to nWidth characters (not bytes: a
// Cyrillic letter is two in UTF-8).
std::string PadRight(std::string_view strText, std::size_t nWidth)
{
    const auto nChars = static_cast<std::size_t>(
        std::count_if(strText.begin(), strText.end(), [](char ch) { return (static_cast<unsigned char>(ch) & 0xC0) != 0x80; }));
    return std::string(strText) + std::string(nWidth > nChars ? nWidth - nChars : 0, ' ');
}

std::string Lower(std::string str)
{
    std::transform(str.begin(), str.end(), str.begin(), [](unsigned char c) { return std::tolower(c); });
    return str;
}

std::string Seconds(double dSeconds, ELanguage eLanguage)
{
    char szText[32];
    std::snprintf(szText, sizeof szText, dSeconds < 0.1 ? "%.3f" : "%.2f", dSeconds);
    return ::FormatText(eLanguage, "{1} с", {szText});
}

} // namespace

CUpdateCheck::CUpdateCheck(const std::filesystem::path& Folder, std::string strShownAs,
                           const std::optional<CSettingsBlock>& Menu, const std::string& strMenuFile,
                           ELanguage eLanguage)
    : m_eLanguage(eLanguage), m_strFolder(std::move(strShownAs))
{
    // The files are read by the update's own code, from the folder as the
    // update names it: with its trailing separator.
    CUpdateImages AImages;
    AImages.Load(Folder / "");
    const double dRestart = CWorkSettings().dwFirmwarePause / 1000.0;
    for (const CStage& AStage : kStages) {
        CStageRow ARow;
        ARow.pStage = &AStage;
        if (AStage.eImage == EImage::Menu) {
            if (!Menu)
                continue;
            ARow.strFile = strMenuFile;
            ARow.Size = kSettingsSize;
        } else {
            ARow.strFile = AStage.szFile;
            std::error_code AError;
            const std::uintmax_t uSize = std::filesystem::file_size(Folder / AStage.szFile, AError);
            if (!AError)
                ARow.Size = uSize;
            CLoadFault AFault;
            if (AImages.FindDamage(AStage.eImage, AFault))
                ARow.strDamage = WideToUtf8(
                    DescribeDamage(std::wstring(ARow.strFile.begin(), ARow.strFile.end()), AFault, eLanguage));
        }
        if (ARow.strDamage.empty()) {
            ARow.APlan = PlanStage(AStage, AImages);
            if (AStage.eImage == EImage::Project && ARow.APlan.nUnits > 0)
                ARow.dRestartSeconds = dRestart;
        }
        m_Rows.push_back(std::move(ARow));
    }
    std::error_code AError;
    m_bVersionFile = std::filesystem::is_regular_file(Folder / "ver.txt", AError);
    const auto aTexts = ReadVersionFile(Folder / "ver.txt");
    for (std::size_t i = 0; i < aTexts.size(); ++i)
        m_aVersionTexts[i] = WideToUtf8(aTexts[i]);
    if (AImages.GetCount(EImage::Project) > 0)
        m_FirmwareTrailer = WideToUtf8(FormatVersion(AImages.GetFirmwareVersion()));
}

bool CUpdateCheck::IsDamaged() const
{
    return std::any_of(m_Rows.begin(), m_Rows.end(), [](const CStageRow& A) { return !A.strDamage.empty(); });
}

bool CUpdateCheck::HasWork() const
{
    return std::any_of(m_Rows.begin(), m_Rows.end(), [](const CStageRow& A) { return A.APlan.nUnits > 0; });
}

double CUpdateCheck::GetWireSeconds() const
{
    double dSeconds = 0;
    for (const CStageRow& ARow : m_Rows)
        dSeconds += ARow.APlan.GetWireSeconds(kBaud);
    return dSeconds;
}

double CUpdateCheck::GetRestartSeconds() const
{
    double dSeconds = 0;
    for (const CStageRow& ARow : m_Rows)
        dSeconds += ARow.dRestartSeconds;
    return dSeconds;
}

std::vector<std::string> CUpdateCheck::GetWarnings() const
{
    std::vector<std::string> Warnings;
    if (!m_bVersionFile)
        Warnings.push_back(::FormatText(m_eLanguage, "нет ver.txt: окно не покажет версий этих файлов", {}));
    if (m_FirmwareTrailer && !m_aVersionTexts[1].empty() && Lower(m_aVersionTexts[1]) != *m_FirmwareTrailer)
        Warnings.push_back(::FormatText(m_eLanguage, "в ver.txt версия ПО {1}, а в самом файле ПО — {2}",
                                      {m_aVersionTexts[1], *m_FirmwareTrailer}));
    return Warnings;
}

std::string CUpdateCheck::FormatText() const
{
    const ELanguage eLanguage = m_eLanguage;
    std::string strText =
        (CUpdateSource::IsArchive(PathFromUtf8(m_strFolder))
             ? ::FormatText(eLanguage, "Файлы обновления в архиве {1}:", {m_strFolder})
             : ::FormatText(eLanguage, "Файлы обновления в папке {1}:", {m_strFolder})) +
        "\n";
    for (const CStageRow& ARow : m_Rows) {
        std::string strLine = "  " + std::to_string(ARow.pStage->nStage) + " " +
                              PadRight(StageName(*ARow.pStage, eLanguage), 16) + " " + PadRight(ARow.strFile, 20);
        const std::string strSize = ARow.Size ? std::to_string(*ARow.Size) : std::string();
        if (!ARow.Size) {
            strLine += GetText(eLanguage, "нет: этап пропускается");
        } else if (!ARow.strDamage.empty()) {
            strLine += ::FormatText(eLanguage, "ПОВРЕЖДЁН: {1}", {ARow.strDamage});
        } else if (ARow.APlan.nUnits == 0) {
            strLine += ::FormatText(eLanguage, "{1} байт, нечего отправлять: этап пропускается", {strSize});
        } else {
            const CTextKey AUnits = ARow.pStage->eImage == EImage::Project ? CTextKey("{1} байт, записей данных: {2}, на линии {3}")
                                    : ARow.pStage->eImage == EImage::Menu  ? CTextKey("{1} байт, кадров: {2}, на линии {3}")
                                                                           : CTextKey("{1} байт, блоков: {2}, на линии {3}");
            strLine += ::FormatText(eLanguage, AUnits,
                                  {strSize, std::to_string(ARow.APlan.nUnits),
                                   Seconds(ARow.APlan.GetWireSeconds(kBaud), eLanguage)});
            if (ARow.dRestartSeconds > 0)
                strLine += ::FormatText(eLanguage, " и перезапуск устройства {1}", {Seconds(ARow.dRestartSeconds, eLanguage)});
        }
        strText += strLine + "\n";
    }
    strText += ::FormatText(eLanguage, "Версии (ver.txt): устройство {1}, ПО {2}, база {3}, радар {4}",
                          {m_aVersionTexts[0], m_aVersionTexts[1], m_aVersionTexts[2], m_aVersionTexts[3]}) +
               "\n";
    if (m_FirmwareTrailer)
        strText += ::FormatText(eLanguage, "Версия в самом файле ПО: {1}", {*m_FirmwareTrailer}) + "\n";
    for (const std::string& strWarning : GetWarnings())
        strText += ::FormatText(eLanguage, "Внимание: {1}", {strWarning}) + "\n";
    if (IsDamaged())
        return strText + ::FormatText(eLanguage, "Обновление не началось бы: файл повреждён, и ничего не было бы отправлено.", {}) + "\n";
    if (!HasWork())
        return strText + ::FormatText(eLanguage, "Нечего обновлять: ни одному этапу нечего отправлять.", {}) + "\n";
    const std::string strWire = Seconds(GetWireSeconds(), eLanguage);
    if (GetRestartSeconds() <= 0)
        return strText + ::FormatText(eLanguage, "Обновление началось бы: {1} на линии при 256000 бод.", {strWire}) + "\n";
    return strText +
           ::FormatText(eLanguage, "Обновление началось бы: {1} на линии при 256000 бод, с перезапуском {2}.",
                      {strWire, Seconds(GetWireSeconds() + GetRestartSeconds(), eLanguage)}) +
           "\n";
}

std::string CUpdateCheck::FormatJson() const
{
    // Members in the order they were always written; times in whole
    // milliseconds, as scripts have read them.
    const auto Milliseconds = [](double dSeconds) { return std::round(dSeconds * 1000) / 1000; };
    nlohmann::ordered_json AStages = nlohmann::ordered_json::array();
    for (const CStageRow& ARow : m_Rows) {
        AStages.push_back({{"stage", ARow.pStage->nStage},
                           {"name", StageName(*ARow.pStage)},
                           {"file", ARow.strFile},
                           {"present", ARow.Size.has_value()},
                           {"size", ARow.Size ? nlohmann::ordered_json(*ARow.Size) : nullptr},
                           {"damaged", !ARow.strDamage.empty()},
                           {"damage", ARow.strDamage},
                           {"frames", ARow.APlan.nUnits},
                           {"bytesOut", ARow.APlan.nBytesOut},
                           {"bytesIn", ARow.APlan.nBytesIn},
                           {"lineSeconds", Milliseconds(ARow.APlan.GetWireSeconds(kBaud))},
                           {"restartSeconds", Milliseconds(ARow.dRestartSeconds)}});
    }
    const nlohmann::ordered_json AJson = {
        {"folder", m_strFolder},
        {"baud", kBaud},
        {"stages", AStages},
        {"versions",
         {{"present", m_bVersionFile},
          {"device", m_aVersionTexts[0]},
          {"firmware", m_aVersionTexts[1]},
          {"data", m_aVersionTexts[2]},
          {"radar", m_aVersionTexts[3]},
          {"firmwareFile", m_FirmwareTrailer ? nlohmann::ordered_json(*m_FirmwareTrailer) : nullptr}}},
        {"warnings", GetWarnings()},
        {"lineSeconds", Milliseconds(GetWireSeconds())},
        {"restartSeconds", Milliseconds(GetRestartSeconds())},
        {"damaged", IsDamaged()},
        {"nothingToDo", !IsDamaged() && !HasWork()},
        {"updateWouldStart", !IsDamaged() && HasWork()},
        {"exitStatus", GetExitStatus()}};
    // A name that is not UTF-8 is shown with U+FFFD rather than ending the check.
    return AJson.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
