#pragma once
#include <array>
#include <filesystem>
#include <string>
#include <string_view>

// "ver.txt": the device type and the firmware, camera-database and radar
// versions of the update files, one per line. Read as UTF-8 (a BOM is
// skipped); a file that is not valid UTF-8 is read as code page 1251. Line
// ends are not part of the texts; missing lines give empty texts.
std::array<std::wstring, 4> ReadVersionFile(const std::filesystem::path& Path);
std::array<std::wstring, 4> ParseVersionText(std::string_view szBytes);
