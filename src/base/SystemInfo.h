#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

// What a report for support says of the computer, as each platform tells
// it (SystemInfo_Posix.cpp, SystemInfo_Win32.cpp). Any thread.

// The system and its version, one line of UTF-8: "Debian GNU/Linux 12
// (bookworm), Linux 6.1.0-28-amd64 x86_64"; "Windows 10.0.19045 x86_64
// (Wine 8.0)".
std::string DescribeSystem();

// The user's home folder, as paths in the report start with it; empty when
// unknown.
std::filesystem::path GetHomeFolder();

// A moment broken down in the computer's time zone; false when it cannot be.
bool ToLocalTime(std::time_t tWhen, std::tm& ATime);

// A moment as the computer's clock shows it: "2026-12-08 11:40:02" (with
// ".123" when bMilliseconds).
std::string FormatLocalTime(std::chrono::system_clock::time_point tWhen, bool bMilliseconds = false);

// The SHA-256 of a file's bytes, or none when it cannot be read. Blocks
// while it reads.
std::optional<std::array<std::uint8_t, 32>> HashFileSha256(const std::filesystem::path& File);
