#pragma once
#include <cstdint>
#include <mutex>

#include "Tick.h"

// Re-entrant mutex with a timed lock: the owning thread may lock again and
// must unlock as often.
class CMuTexObject {
public:
    CMuTexObject() = default;
    virtual ~CMuTexObject() = default;
    CMuTexObject(const CMuTexObject&) = delete;
    CMuTexObject& operator=(const CMuTexObject&) = delete;

    // True when the mutex was obtained within dwMilliseconds (INFINITE waits
    // without limit).
    bool Lock(std::uint32_t dwMilliseconds = INFINITE);
    void Unlock();

    // Scoped hold of a CMuTexObject; Owns() tells whether the lock was obtained.
    class CGuard {
    public:
        explicit CGuard(CMuTexObject& Mutex, std::uint32_t dwMilliseconds = INFINITE)
            : m_Mutex(Mutex), m_bOwns(Mutex.Lock(dwMilliseconds)) {}
        ~CGuard() { if (m_bOwns) m_Mutex.Unlock(); }
        CGuard(const CGuard&) = delete;
        CGuard& operator=(const CGuard&) = delete;
        bool Owns() const { return m_bOwns; }
    private:
        CMuTexObject& m_Mutex;
        bool m_bOwns;
    };

private:
    std::recursive_timed_mutex m_Mutex;
};
