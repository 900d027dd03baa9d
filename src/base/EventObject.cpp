#include "EventObject.h"

#include <chrono>

CEventObject::CEventObject(const wchar_t* /*wzName*/, bool bManualReset, bool bInitialState)
    : m_bManualReset(bManualReset), m_bSignalled(bInitialState)
{
}

void CEventObject::Set()
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_bSignalled = true;
    }
    if (m_bManualReset)
        m_Cond.notify_all();
    else
        m_Cond.notify_one();
}

void CEventObject::Reset()
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    m_bSignalled = false;
}

bool CEventObject::Wait(std::uint32_t dwMilliseconds)
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    const auto IsSet = [this] { return m_bSignalled; };
    if (dwMilliseconds == INFINITE)
        m_Cond.wait(ALock, IsSet);
    else if (!m_Cond.wait_for(ALock, std::chrono::milliseconds(dwMilliseconds), IsSet))
        return false;
    if (!m_bManualReset)
        m_bSignalled = false;
    return true;
}
