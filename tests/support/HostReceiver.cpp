#include "HostReceiver.h"

int CHostReceiver::OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_Bytes.insert(m_Bytes.end(), pBytes, pBytes + dwCount);
        m_Cutter.Cut({pBytes, dwCount}, [this](const CRawString& strFrame) {
            m_Frames.emplace_back(strFrame.GetData(), strFrame.GetData() + strFrame.GetLength());
        });
    }
    m_Cond.notify_all();
    return 1;
}

void CHostReceiver::OnPortLost()
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        ++m_nLost;
    }
    m_Cond.notify_all();
}

bool CHostReceiver::WaitFrames(std::size_t nCount, std::chrono::milliseconds tLimit) const
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    return m_Cond.wait_for(ALock, tLimit, [&] { return nCount == 0 ? m_nLost > 0 : m_Frames.size() >= nCount; });
}

std::vector<CHostBytes> CHostReceiver::GetFrames() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Frames;
}

CHostBytes CHostReceiver::GetBytes() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Bytes;
}
