#include "UpdateCheck.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "TextCodec.h"
#include "UpdateFailure.h"
#include "VersionFile.h"

namespace {

const char* StageName(const CStage& AStage)
{
    static const char* const kNames[] = {"firmware", "camera database", "sound data", "radar firmware", "device menu"};
    return kNames[AStage.nStage - 1];
}

std::string Lower(std::string str)
{
    std::transform(str.begin(), str.end(), str.begin(), [](unsigned char c) { return std::tolower(c); });
    return str;
}

std::string Seconds(double dSeconds)
{
    char szText[32];
    std::snprintf(szText, sizeof szText, dSeconds < 0.1 ? "%.3f s" : "%.2f s", dSeconds);
    return szText;
}

} // namespace

CUpdateCheck::CUpdateCheck(const std::filesystem::path& Folder, std::string strShownAs,
                           const std::optional<CSettingsBlock>& Menu, const std::string& strMenuFile)
    : m_strFolder(std::move(strShownAs))
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
                ARow.strDamage = WideToUtf8(DescribeDamage(std::wstring(ARow.strFile.begin(), ARow.strFile.end()), AFault));
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
        Warnings.push_back("there is no ver.txt: the window shows no versions for these files");
    if (m_FirmwareTrailer && !m_aVersionTexts[1].empty() && Lower(m_aVersionTexts[1]) != *m_FirmwareTrailer)
        Warnings.push_back("ver.txt gives the firmware as " + m_aVersionTexts[1] +
                           ", but the firmware file's own version is " + *m_FirmwareTrailer);
    return Warnings;
}

std::string CUpdateCheck::FormatText() const
{
    std::string strText = "Update files in " + m_strFolder + ":\n";
    for (const CStageRow& ARow : m_Rows) {
        char szHead[96];
        std::snprintf(szHead, sizeof szHead, "  %d %-16s %-20s", static_cast<int>(ARow.pStage->nStage),
                      StageName(*ARow.pStage), ARow.strFile.c_str());
        std::string strLine = szHead;
        if (!ARow.Size) {
            strLine += "absent: skipped";
        } else if (!ARow.strDamage.empty()) {
            strLine += "DAMAGED: " + ARow.strDamage;
        } else if (ARow.APlan.nUnits == 0) {
            strLine += std::to_string(*ARow.Size) + " bytes, nothing to send: skipped";
        } else {
            const char* szUnit = ARow.pStage->eImage == EImage::Project ? "data records" : "blocks";
            if (ARow.pStage->eImage == EImage::Menu)
                szUnit = "frame";
            strLine += std::to_string(*ARow.Size) + " bytes, " + std::to_string(ARow.APlan.nUnits) + " " + szUnit +
                       ", " + Seconds(ARow.APlan.GetWireSeconds(kBaud)) + " on the line";
            if (ARow.dRestartSeconds > 0)
                strLine += " and the device's " + Seconds(ARow.dRestartSeconds) + " restart";
        }
        strText += strLine + "\n";
    }
    strText += "Versions (ver.txt): device " + m_aVersionTexts[0] + ", firmware " + m_aVersionTexts[1] + ", data " +
               m_aVersionTexts[2] + ", radar " + m_aVersionTexts[3] + "\n";
    if (m_FirmwareTrailer)
        strText += "The firmware file's own version: " + *m_FirmwareTrailer + "\n";
    for (const std::string& strWarning : GetWarnings())
        strText += "Warning: " + strWarning + "\n";
    if (IsDamaged())
        return strText + "No update would start: a file is damaged, and nothing would be sent.\n";
    if (!HasWork())
        return strText + "Nothing to update: no stage has anything to send.\n";
    return strText + "An update would start: " + Seconds(GetWireSeconds()) + " on the line at 256000 baud" +
           (GetRestartSeconds() > 0 ? ", " + Seconds(GetWireSeconds() + GetRestartSeconds()) + " with the restart" : "") +
           ".\n";
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
