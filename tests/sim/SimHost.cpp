#include "SimHost.h"

#include "Frame.h"

CHostBytes Hex(const std::string& strHex)
{
    CHostBytes Bytes;
    for (std::size_t i = 0; i + 1 < strHex.size(); i += strHex[i] == ' ' ? 1 : 2)
        if (strHex[i] != ' ')
            Bytes.push_back(static_cast<std::uint8_t>(std::stoul(strHex.substr(i, 2), nullptr, 16)));
    return Bytes;
}

CHostBytes HandFrame(std::uint8_t btCommand, const CHostBytes& Payload)
{
    const std::size_t nLength = Payload.size() + 5;
    CHostBytes Frame(nLength, btCommand);
    Frame[0] = 0xAC;
    Frame[1] = static_cast<std::uint8_t>(nLength);
    Frame[2] = static_cast<std::uint8_t>(nLength >> 8);
    std::copy(Payload.begin(), Payload.end(), Frame.begin() + 4);
    for (const std::uint8_t bt : Payload)
        Frame.back() = static_cast<std::uint8_t>(Frame.back() + bt);
    return Frame;
}

int CSimHost::OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_nRaw += dwCount;
        CutFrames(m_strReceive, {pBytes, dwCount}, [this](const CRawString& strFrame) {
            m_Frames.emplace_back(strFrame.GetData(), strFrame.GetData() + strFrame.GetLength());
        });
    }
    m_Cond.notify_all();
    return 1;
}

void CSimHost::OnPortLost()
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    m_bLost = true;
    m_Cond.notify_all();
}

bool CSimHost::WaitFrames(std::size_t nCount) const
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    return m_Cond.wait_for(ALock, 10s, [&] { return nCount == 0 ? m_bLost : m_Frames.size() >= nCount; });
}

std::vector<CHostBytes> CSimHost::GetFrames() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Frames;
}

std::size_t CSimHost::GetRawSize() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_nRaw;
}

CSimDevice& CSimFixture::StartDevice(CSimOptions AOptions, unsigned nCom)
{
    m_Devices.push_back(::StartDevice(m_Dir.GetPath(), nCom, std::move(AOptions)));
    return *m_Devices.back();
}
