#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

// "ver.txt": the device type and the firmware, camera-database and radar
// versions of the update files, one per line. Read as UTF-8 (a BOM is
// skipped); a file that is not valid UTF-8 is read as code page 1251. Line
// ends are not part of the texts; missing lines give empty texts.
std::array<std::wstring, 4> ReadVersionFile(const std::filesystem::path& Path);
std::array<std::wstring, 4> ParseVersionText(std::string_view szBytes);

// A version as the window shows it, the device's and the update files'
// alike: four hexadecimal digits, as the HEX trailer and ver.txt write it
// (0x0102 is "0102", not "0258").
std::wstring FormatVersion(std::uint16_t uVersion);
