#pragma once
#include <array>
#include <string>

#include "PaintManagerUI.h"
#include "Work_BK.h"

// What the windows share for the whole run: the paths, the four version
// texts of "ver.txt" (device type; firmware, camera-database and radar
// versions of the update files) and the device menu the settings dialog
// edits (all zeros until the device reported its own).
struct CProgramData {
    CPaintManagerUI APaint;
    std::array<std::wstring, 4> aVersionTexts;
    CSettingsBlock aSharedSettings{};
};
