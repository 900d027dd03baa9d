#include "PtyPeer.h"

#include <cerrno>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "Frame.h"
#include "Packet_ISP.h"

CPtyPeer::CPtyPeer(const std::string& strPortDir, unsigned nCom)
{
    termios tio{};
    cfmakeraw(&tio);
    char szName[256] = {};
    if (::openpty(&m_fdMaster, &m_fdSlave, szName, &tio, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    m_strSlave = szName;
    m_strLink = strPortDir + "/COM" + std::to_string(nCom);
    ::unlink(m_strLink.c_str());
    if (::symlink(m_strSlave.c_str(), m_strLink.c_str()) != 0)
        throw std::runtime_error("symlink failed");
    m_Thread = std::thread([this] { ReadLoop(); });
}

CPtyPeer::~CPtyPeer()
{
    m_bStop = true;
    if (m_Thread.joinable())
        m_Thread.join();
    ::unlink(m_strLink.c_str());
    if (m_fdMaster >= 0)
        ::close(m_fdMaster);
    if (m_fdSlave >= 0)
        ::close(m_fdSlave);
}

void CPtyPeer::SetHandler(Handler AHandler)
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    m_Handler = std::move(AHandler);
}

void CPtyPeer::Write(const CBytes& Bytes)
{
    std::size_t nDone = 0;
    while (m_fdMaster >= 0 && nDone < Bytes.size()) {
        const ssize_t n = ::write(m_fdMaster, Bytes.data() + nDone, Bytes.size() - nDone);
        if (n > 0)
            nDone += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return;
    }
}

void CPtyPeer::Hangup()
{
    m_bStop = true;
    if (m_Thread.joinable())
        m_Thread.join();
    // The slave is closed too, or the kernel would keep the line alive.
    ::close(m_fdSlave);
    m_fdSlave = -1;
    ::close(m_fdMaster);
    m_fdMaster = -1;
}

std::vector<CBytes> CPtyPeer::GetFrames() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Frames;
}

CBytes CPtyPeer::GetRawBytes() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_RawBytes;
}

bool CPtyPeer::WaitForFrames(std::size_t nCount, std::chrono::milliseconds tTimeout) const
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    return m_Cond.wait_for(ALock, tTimeout, [&] { return m_Frames.size() >= nCount; });
}

CBytes CPtyPeer::MakeFrame(std::uint8_t btCommand, const CBytes& Payload)
{
    CPacket_ISP APacket;
    APacket.SetCommand(btCommand, Payload.empty() ? nullptr : Payload.data(),
                       static_cast<std::uint16_t>(Payload.size()));
    return CBytes(APacket.GetData(), APacket.GetData() + APacket.GetSize());
}

CBytes CPtyPeer::InfoAnswer(std::uint8_t btPort)
{
    return MakeFrame(0x46, {0x45, btPort, 0x12, 0x34, 0x00, 0x07, 0x00, 0x02});
}

void CPtyPeer::ReadLoop()
{
    std::uint8_t btBuf[4096];
    while (!m_bStop) {
        pollfd pfd{m_fdMaster, POLLIN, 0};
        if (::poll(&pfd, 1, 20) <= 0 || !(pfd.revents & POLLIN))
            continue;
        const ssize_t n = ::read(m_fdMaster, btBuf, sizeof btBuf);
        if (n <= 0)
            continue;
        std::vector<CBytes> NewFrames;
        Handler AHandler;
        {
            std::lock_guard<std::mutex> ALock(m_Mutex);
            m_RawBytes.insert(m_RawBytes.end(), btBuf, btBuf + n);
            CutFrames(m_strReceive, {btBuf, static_cast<std::size_t>(n)},
                      [&](const CRawString& strFrame) {
                          NewFrames.emplace_back(strFrame.GetData(),
                                                 strFrame.GetData() + strFrame.GetLength());
                      },
                      &FindFrameWide);
            m_Frames.insert(m_Frames.end(), NewFrames.begin(), NewFrames.end());
            AHandler = m_Handler;
        }
        m_Cond.notify_all();
        std::vector<CBytes> Answers;
        for (const CBytes& Frame : NewFrames)
            if (AHandler)
                Answers.push_back(AHandler(Frame));
        for (const CBytes& Answer : Answers)
            Write(Answer);
    }
}
