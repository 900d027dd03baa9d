#include "LinePacer.h"

#include <algorithm>
#include <thread>

std::chrono::nanoseconds CLinePacer::GetWireTime(std::size_t nBytes) const
{
    if (m_dwBaud == 0)
        return {};
    return std::chrono::nanoseconds(static_cast<std::int64_t>(nBytes) * 10'000'000'000LL / m_dwBaud);
}

void CLinePacer::OnReceived(std::size_t nBytes)
{
    if (m_dwBaud != 0)
        m_tReceiveEnd = std::max(m_tReceiveEnd, AClock::now()) + GetWireTime(nBytes);
}

void CLinePacer::WaitReceived() const
{
    if (m_dwBaud != 0)
        std::this_thread::sleep_until(m_tReceiveEnd);
}

void CLinePacer::WaitToSend(std::size_t nBytes)
{
    if (m_dwBaud == 0)
        return;
    m_tSendEnd = std::max(m_tSendEnd, AClock::now()) + GetWireTime(nBytes);
    std::this_thread::sleep_until(m_tSendEnd);
}
