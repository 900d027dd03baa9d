#pragma once
#include <cstdint>

// Millisecond clock and sleep. The tick is a 32-bit count that wraps after
// about 49 days, so compare ticks only by difference.
std::uint32_t GetTickCount();
void Sleep(std::uint32_t dwMilliseconds);

inline constexpr std::uint32_t INFINITE = 0xFFFFFFFFu;
