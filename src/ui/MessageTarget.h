#pragma once
#include <cstdint>

// What a window's notifications are delivered to: its message handler, on
// the GUI thread. The window is one; what delivers to it (the bridge from
// the worker's threads) knows it only through this.
class CMessageTarget {
public:
    virtual ~CMessageTarget() = default;
    virtual std::intptr_t HandleMessage(std::uint32_t uMsg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};
