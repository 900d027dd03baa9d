#pragma once
#include <array>
#include <filesystem>
#include <string>

#include "Language.h"
#include "PaintManagerUI.h"
#include "TraceTap.h"
#include "Work_BK.h"

// What the windows share for the whole run: the paths, the four version
// texts of "ver.txt" (device type; firmware, camera-database and radar
// versions of the update files), the device menu the settings dialog edits
// (all zeros until the device reported its own) and the update folder.
// The GUI thread's alone.
struct CProgramData {
    CPaintManagerUI APaint;
    std::array<std::wstring, 4> aVersionTexts;
    CSettingsBlock aSharedSettings{};
    // The folder of the update files and "ver.txt"; empty when none is chosen.
    std::filesystem::path UpdateFolder;
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
