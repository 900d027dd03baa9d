#include "SimHost.h"

#include <stdexcept>

#include "Frame.h"

CHostBytes Hex(const std::string& strHex)
{
    CHostBytes Bytes;
    for (std::size_t i = 0; i + 1 < strHex.size();) {
        if (strHex[i] == ' ') {
            ++i;
            continue;
        }
        Bytes.push_back(static_cast<std::uint8_t>(std::stoul(strHex.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return Bytes;
}

CHostBytes HandFrame(std::uint8_t btCommand, const CHostBytes& Payload)
{
    const std::size_t nLength = Payload.size() + 5;
    CHostBytes Frame{0xAC, static_cast<std::uint8_t>(nLength), static_cast<std::uint8_t>(nLength >> 8), btCommand};
    std::uint8_t btSum = btCommand;
    for (const std::uint8_t bt : Payload) {
        Frame.push_back(bt);
        btSum = static_cast<std::uint8_t>(btSum + bt);
    }
    Frame.push_back(btSum);
    return Frame;
}

CSimHost::CSimHost() : m_Port(nullptr, 10) { m_Port.SetOwner(this); }

CSimHost::~CSimHost() { m_Port.Close(); }

bool CSimHost::Open(unsigned nCom) { return m_Port.Open(static_cast<std::uint8_t>(nCom), 256000, 8, 0, 0) != 0; }

void CSimHost::Close() { m_Port.Close(); }

bool CSimHost::Send(const CHostBytes& Bytes)
{
    return m_Port.Write(Bytes.data(), static_cast<std::uint32_t>(Bytes.size()));
}

int CSimHost::OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        ++m_nChunks;
        m_RawBytes.insert(m_RawBytes.end(), pBytes, pBytes + dwCount);
        CutFrames(m_strReceive, {pBytes, dwCount}, [this](const CRawString& strFrame) {
            m_Frames.emplace_back(strFrame.GetData(), strFrame.GetData() + strFrame.GetLength());
        });
    }
    m_Cond.notify_all();
    return 1;
}

void CSimHost::OnPortLost()
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_bLost = true;
    }
    m_Cond.notify_all();
}

bool CSimHost::WaitFrames(std::size_t nCount, std::chrono::milliseconds tLimit) const
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    return m_Cond.wait_for(ALock, tLimit, [&] { return m_Frames.size() >= nCount; });
}

bool CSimHost::WaitLost(std::chrono::milliseconds tLimit) const
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    return m_Cond.wait_for(ALock, tLimit, [&] { return m_bLost; });
}

std::vector<CHostBytes> CSimHost::GetFrames() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Frames;
}

CHostBytes CSimHost::GetRawBytes() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_RawBytes;
}

std::size_t CSimHost::GetChunkCount() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_nChunks;
}

CSimDevice& CSimBench::StartDevice(CSimOptions AOptions, unsigned nCom)
{
    AOptions.strPortDir = m_Dir.GetPath();
    AOptions.nCom = nCom;
    auto pDevice = std::make_unique<CSimDevice>(std::move(AOptions));
    std::string strError;
    if (!pDevice->Start(strError))
        throw std::runtime_error("the device did not start: " + strError);
    m_Devices.push_back(std::move(pDevice));
    return *m_Devices.back();
}
