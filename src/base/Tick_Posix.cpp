#include "Tick.h"

#include <chrono>
#include <thread>

std::uint32_t GetTickCount()
{
    const auto tNow = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(tNow).count());
}

void Sleep(std::uint32_t dwMilliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
