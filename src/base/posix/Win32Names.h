#pragma once
#include <cstdint>

// The names of the Windows platform that this system speaks in, for a build
// without <windows.h>: the millisecond tick and sleep, the endless wait, the
// window messages and the hit-test answers. A Windows build takes the same
// names from <windows.h> instead (win32/Win32Names.h); CMake picks the folder.

// A 32-bit millisecond count that wraps after about 49 days: compare ticks
// only by difference.
std::uint32_t GetTickCount();
void Sleep(std::uint32_t dwMilliseconds);

inline constexpr std::uint32_t INFINITE = 0xFFFFFFFFu;

inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_TIMER = 0x0113;

inline constexpr int HTCLIENT = 1;
inline constexpr int HTCAPTION = 2;
inline constexpr int HTLEFT = 10;
inline constexpr int HTRIGHT = 11;
inline constexpr int HTTOP = 12;
inline constexpr int HTTOPLEFT = 13;
inline constexpr int HTTOPRIGHT = 14;
inline constexpr int HTBOTTOM = 15;
inline constexpr int HTBOTTOMLEFT = 16;
inline constexpr int HTBOTTOMRIGHT = 17;
