#include "MuTexObject.h"

#include <chrono>

bool CMuTexObject::Lock(std::uint32_t dwMilliseconds)
{
    if (dwMilliseconds == INFINITE) {
        m_Mutex.lock();
        return true;
    }
    return m_Mutex.try_lock_for(std::chrono::milliseconds(dwMilliseconds));
}

void CMuTexObject::Unlock() { m_Mutex.unlock(); }
