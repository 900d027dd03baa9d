#pragma once
#include <array>
#include <filesystem>
#include <memory>
#include <string>

#include "Language.h"
#include "PaintManagerUI.h"
#include "Stages.h"
#include "TraceTap.h"
#include "UpdateSource.h"
#include "Work_BK.h"

// What the windows share for the whole run: the paths, the four version
// texts of "ver.txt" (device type; firmware, camera-database and radar
// versions of the update files), the device menu the settings dialog edits
// (all zeros until the device reported its own) and where the update files
// come from. The GUI thread's alone.
struct CProgramData {
    CPaintManagerUI APaint;
    std::array<std::wstring, 4> aVersionTexts;
    CSettingsBlock aSharedSettings{};
    // Where the update files and "ver.txt" come from, as the driver named
    // it: a folder, or an archive unpacked into its private folder, which
    // lives as long as this; null when none is chosen. One that was refused
    // stays, to say which and why, and reads no folder.
    std::unique_ptr<CUpdateSource> pSource;
    // The folder the update files are read from; empty when there is none.
    std::filesystem::path GetUpdateFolder() const { return pSource ? pSource->GetFolder() : std::filesystem::path(); }
    // Whether a folder the driver chooses is kept for the next start (an
    // installed program; a portable one always reads its own folder).
    bool bRememberFolder = false;
    // The windows' language: what they show of the engine is worded in it
    // (their own texts are Qt's translation into it, CWindowLanguage).
    ELanguage eLanguage = ELanguage::Russian;
    // The trace's last lines, for a report (the program's, not owned);
    // null when the program keeps none.
    const CTraceTap* pTrace = nullptr;
};

// What the driver named, a folder or an update archive (unpacked now, on
// the calling thread), as the windows read update files from it; null for
// nothing named.
inline std::unique_ptr<CUpdateSource> OpenUpdateSource(const std::filesystem::path& Given)
{
    return Given.empty() ? nullptr : std::make_unique<CUpdateSource>(Given, kUpdateFiles);
}
