#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "Tick.h"

// Event: auto-reset (one waiter wakes and the signal is consumed; signals
// before the wait merge into one) or manual-reset (stays signalled until
// Reset). The name is kept for the record; events are never shared between
// processes here.
class CEventObject {
public:
    CEventObject(const wchar_t* wzName, bool bManualReset, bool bInitialState);
    CEventObject(const CEventObject&) = delete;
    CEventObject& operator=(const CEventObject&) = delete;

    void Set();
    void Reset();
    // True when signalled within dwMilliseconds (INFINITE waits without limit).
    bool Wait(std::uint32_t dwMilliseconds = INFINITE);

private:
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    bool m_bManualReset;
    bool m_bSignalled;
};
