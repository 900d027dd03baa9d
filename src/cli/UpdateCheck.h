#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Language.h"
#include "StagePlan.h"
#include "UpdateImages.h"
#include "Work_BK.h"

// What an update of a folder's files would do, found without a device:
// every update file read exactly as an update reads it, and per stage what
// it sends and how long that takes on the line; the versions of ver.txt
// against the firmware's own trailer. iap-cli --check, in one language (the
// JSON's members are the same in every language; its texts are not). One
// thread.
class CUpdateCheck {
public:
    struct CStageRow {
        const CStage* pStage = nullptr;
        std::string strFile;             // the update file's name, or the menu file given
        std::optional<std::uint64_t> Size; // absent: no such file
        std::string strDamage;           // what is wrong with the file, as the update says it; empty when nothing
        CStagePlan APlan;                // empty when the stage has nothing to send
        double dRestartSeconds = 0;      // the firmware's restart after its stage
    };

    // Reads the folder's files; strShownAs names it as the user did (an
    // archive unpacked into it, UTF-8). Menu is the device menu to write,
    // when one was given (strMenuFile names it).
    CUpdateCheck(const std::filesystem::path& Folder, std::string strShownAs, const std::optional<CSettingsBlock>& Menu,
                 const std::string& strMenuFile, ELanguage eLanguage);

    const std::vector<CStageRow>& GetRows() const { return m_Rows; }
    bool IsDamaged() const;
    bool HasWork() const;
    std::vector<std::string> GetWarnings() const;
    // 0 when an update would start (or there is nothing to do), 1 when a file is damaged.
    int GetExitStatus() const { return IsDamaged() ? 1 : 0; }

    std::string FormatText() const;
    std::string FormatJson() const;

    static constexpr std::uint32_t kBaud = 256000;

private:
    double GetWireSeconds() const;
    double GetRestartSeconds() const;

    ELanguage m_eLanguage;
    std::string m_strFolder;
    std::vector<CStageRow> m_Rows;
    std::array<std::string, 4> m_aVersionTexts;  // ver.txt, UTF-8
    bool m_bVersionFile = false;
    std::optional<std::string> m_FirmwareTrailer;
};
