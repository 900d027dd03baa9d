#include "LinePacer.h"

#include <algorithm>
#include <thread>

namespace {

// A sleep ends late by the scheduler's wake-up time, tens of microseconds,
// more on a busy machine: as much as a firmware record's answer takes on
// the wire. The last stretch before a deadline is therefore waited out
// awake, so the line keeps its rate and what is measured against it is
// the host's time, not the device's oversleeping.
constexpr auto kAwakeStretch = std::chrono::microseconds(200);

void WaitUntil(CLinePacer::AClock::time_point tDeadline)
{
    if (tDeadline - CLinePacer::AClock::now() > kAwakeStretch)
        std::this_thread::sleep_until(tDeadline - kAwakeStretch);
    while (CLinePacer::AClock::now() < tDeadline) {
    }
}

} // namespace

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
        WaitUntil(m_tReceiveEnd);
}

void CLinePacer::WaitToSend(std::size_t nBytes)
{
    if (m_dwBaud == 0)
        return;
    m_tSendEnd = std::max(m_tSendEnd, AClock::now()) + GetWireTime(nBytes);
    WaitUntil(m_tSendEnd);
}
