#pragma once
#include <cstdint>

#include "Win32Names.h"

// What the worker tells its window, as window messages (WM_USER is the
// platform's, 0x0400).
inline constexpr std::uint32_t WM_DEVICE_READY = WM_USER + 101;  // 0, 0
inline constexpr std::uint32_t WM_SETTINGS_READ = WM_USER + 102; // 0, 0
inline constexpr std::uint32_t WM_STAGE_START = WM_USER + 103;   // stage, stage total
inline constexpr std::uint32_t WM_PROGRESS = WM_USER + 104;      // stage total, done count
inline constexpr std::uint32_t WM_STAGE_RESULT = WM_USER + 105;  // stage, result (0 success)
inline constexpr std::uint32_t WM_DEVICE_LOST = WM_USER + 106;   // 0, 0
// After a successful update the device was asked for its versions again:
// 1 when it answered (GetDeviceVersions has them), 0 when it did not.
inline constexpr std::uint32_t WM_DEVICE_REREAD = WM_USER + 107; // answered, 0

// The target of the worker's notifications. SendMessage is synchronous: it
// returns once the message has been handled, so the handler may read the
// worker's fields while the sending thread waits. The worker never holds a
// lock while it calls it.
class CNotifyWindow {
public:
    virtual ~CNotifyWindow() = default;
    virtual std::intptr_t SendMessage(std::uint32_t uMessage, std::uintptr_t wParam,
                                      std::intptr_t lParam) = 0;
};
