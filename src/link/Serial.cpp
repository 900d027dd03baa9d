#include "Serial.h"

#include <array>
#include <mutex>

#include "Command.h"
#include "Packet_ISP.h"
#include "Tick.h"

namespace {

constexpr std::uint32_t kWorkingBaud = 256000;
// Probe writes end after 100 ms a byte plus 500 ms; working writes get a
// generous bound so that a stuck line can never hang the sending thread.
constexpr std::uint32_t kProbeWritePerByte = 100;
constexpr std::uint32_t kProbeWriteConstant = 500;
constexpr std::uint32_t kWorkingWriteTimeout = 5000;

} // namespace

CSerial::CSerial(CSerialObject* pOwner, std::uint32_t dwReadPause)
    : CAutoThread(2000), m_pOwner(pOwner), m_dwReadPause(dwReadPause),
      m_pPort(CSerialBackend::Create())
{
}

CSerial::~CSerial() { Close(); }

bool CSerial::SetOwner(CSerialObject* pOwner)
{
    m_pOwner = pOwner;
    return true;
}

int CSerial::Open(std::uint8_t btPort, std::uint32_t dwBaud, std::uint8_t btDataBits,
                  std::uint8_t btParity, std::uint8_t btStopBits)
{
    if (IsOpen())
        Close();
    m_eProbe = EProbe::NotSent;
    {
        std::unique_lock<std::shared_mutex> ALock(m_PortLock);
        if (!m_pPort->OpenPort(btPort))
            return 0;
        m_pPort->Purge();
        CSerialBackend::CLine ALine{dwBaud, btDataBits, btParity, btStopBits, true, true};
        if (!m_pPort->SetLine(ALine)) {
            m_pPort->ClosePort();
            return 0;
        }
    }
    m_btPort = btPort;
    if (!Probe(btPort)) {
        Close();
        return 0;
    }
    Reconfigure(kWorkingBaud, 8, 0, 0);
    if (m_pOwner != nullptr)
        m_pOwner->OnPortOpened(btPort);
    CAutoThread::Start();
    return 1;
}

int CSerial::Reconfigure(std::uint32_t dwBaud, std::uint8_t btDataBits, std::uint8_t btParity,
                         std::uint8_t btStopBits)
{
    std::shared_lock<std::shared_mutex> ALock(m_PortLock);
    const CSerialBackend::CLine ALine{dwBaud, btDataBits, btParity, btStopBits, false, true};
    return m_pPort->IsOpen() && m_pPort->SetLine(ALine) ? 1 : 0;
}

bool CSerial::Write(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    if (pBytes == nullptr || dwCount == 0)
        return false;
    std::shared_lock<std::shared_mutex> ALock(m_PortLock);
    if (!m_pPort->IsOpen())
        return false;
    const std::uint32_t dwTimeout =
        m_bProbing ? kProbeWritePerByte * dwCount + kProbeWriteConstant : kWorkingWriteTimeout;
    return m_pPort->WriteAll({pBytes, dwCount}, dwTimeout);
}

bool CSerial::Purge()
{
    std::shared_lock<std::shared_mutex> ALock(m_PortLock);
    return m_pPort->IsOpen() && m_pPort->Purge();
}

bool CSerial::IsOpen() const
{
    std::shared_lock<std::shared_mutex> ALock(m_PortLock);
    return m_pPort->IsOpen();
}

void CSerial::Close()
{
    // The read thread is told to end and woken from any wait (its own and
    // a writer's) before it is joined: a read that the driver holds, or a
    // line that takes no bytes, cannot keep the port from closing. Only
    // then is the port closed, alone: nothing reads it any more, and the
    // woken writers have let go.
    RequestStop();
    m_pPort->Interrupt();
    CAutoThread::Stop();
    ClosePort();
}

void CSerial::Interrupt() { m_pPort->Interrupt(); }

void CSerial::ClosePort()
{
    std::unique_lock<std::shared_mutex> ALock(m_PortLock);
    m_pPort->ClosePort();
}

bool CSerial::Probe(std::uint8_t btPort)
{
    CPacket_ISP APacket;
    APacket.SetCommand(Cmd::InfoRequest, &btPort, 1);
    m_bProbing = true;
    const bool bWritten =
        Write(APacket.GetData(), static_cast<std::uint32_t>(APacket.GetSize()));
    m_bProbing = false;
    if (!bWritten)
        return false;
    std::array<std::uint8_t, kProbeReadSize> btBuf{};
    int nRead = 0;
    {
        std::shared_lock<std::shared_mutex> ALock(m_PortLock);
        nRead = m_pPort->ReadTimed(btBuf, kProbeInterval, kProbeTotal);
    }
    m_btProbeCommand = nRead > 3 ? btBuf[3] : 0;
    m_eProbe = nRead <= 0                      ? EProbe::Silent
             : nRead < 5                       ? EProbe::TooShort
             : btBuf[3] != Cmd::DeviceInfo     ? EProbe::OtherCommand
                                               : EProbe::Device;
    return m_eProbe == EProbe::Device;
}

int CSerial::Run()
{
    std::array<std::uint8_t, 1024> btBuf{};
    while (!StopRequested()) {
        std::uint32_t dwRead = 0;
        // No lock: the port is closed only after this thread has ended
        // (Close joins it first), and a read wait ends at once on Close.
        // Polling, the read takes what is there and does not wait.
        const CSerialBackend::EReadResult eResult =
            m_pPort->ReadAvailable(btBuf, m_bPollingPause ? 0 : m_dwReadPause, dwRead);
        if (eResult == CSerialBackend::EReadResult::Gone) {
            if (!StopRequested() && m_pOwner != nullptr)
                m_pOwner->OnPortLost();
            return 1;
        }
        if (dwRead > 0 && m_pOwner != nullptr && !StopRequested())
            m_pOwner->OnReceive(btBuf.data(), dwRead);
        if (m_pOwner != nullptr && !StopRequested())
            m_pOwner->OnTick();
        if (m_bPollingPause && !StopRequested())
            Sleep(m_dwReadPause);
    }
    return 0;
}
