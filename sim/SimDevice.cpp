#include "SimDevice.h"

#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "Frame.h"
#include "TextCatalog.h"

namespace {

// The serving thread wakes this often even when the line is quiet.
constexpr int kIdlePollMs = 50;
// An unplugged device lets the host read its last answer first, up to this.
constexpr auto kHangupLinger = std::chrono::milliseconds(500);
constexpr auto kHangupArrival = std::chrono::milliseconds(50);
constexpr std::size_t kLargestChunk = 8;
constexpr std::uint8_t kStartByte = 0xAC;

} // namespace

CSimDevice::CSimDevice(CSimOptions Options)
    : m_Options(std::move(Options)), m_Recorder(m_Options.strRecordDir, m_Options.eLanguage), m_Responder(m_Options, m_Recorder),
      m_Pacer(m_Options.dwBaud), m_Random(m_Options.dwSeed)
{
}

CSimDevice::~CSimDevice()
{
    Stop();
    std::unique_lock<std::mutex> ALock(m_Mutex);
    m_Cond.wait(ALock, [this] { return m_eState != ESimState::Serving; });
}

bool CSimDevice::Start(std::string& strError)
{
    std::lock_guard<std::mutex> AStopLock(m_StopMutex);
    if (!Open(strError))
        return false;
    m_Thread = std::thread([this] { Serve(); });
    return true;
}

bool CSimDevice::Open(std::string& strError)
{
    if (GetState() != ESimState::Idle) {
        strError = GetText(m_Options.eLanguage, "устройство уже работало");
        return false;
    }
    if (!m_Recorder.Open(strError) || !m_Pty.Open(m_Options.strPortDir, m_Options.nCom, m_Options.eLanguage, strError))
        return false;
    m_Wake.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_Wake.IsValid()) {
        strError = GetText(m_Options.eLanguage, "не удалось создать eventfd");
        m_Pty.Close();
        return false;
    }
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_strSlave = m_Pty.GetSlavePath();
        m_strLink = m_Pty.GetLinkPath();
        m_eState = ESimState::Serving;
    }
    return true;
}

void CSimDevice::Serve()
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        if (m_eState != ESimState::Serving || m_bLoopClaimed)
            return;
        m_bLoopClaimed = true;
    }
    RunLoop();
    m_Pty.Close();
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        if (m_eState == ESimState::Serving)
            m_eState = ESimState::Stopped;
    }
    m_Cond.notify_all();
}

void CSimDevice::Stop()
{
    std::lock_guard<std::mutex> AStopLock(m_StopMutex);
    if (m_Wake.IsValid()) {
        const std::uint64_t dwOne = 1;
        [[maybe_unused]] const ssize_t nWritten = ::write(m_Wake.Get(), &dwOne, sizeof dwOne);
    }
    if (m_Thread.joinable())
        m_Thread.join();
    // Opened but never served: nobody else will close the terminal.
    bool bClose = false;
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        if (!m_bLoopClaimed && m_eState == ESimState::Serving) {
            m_bLoopClaimed = true;
            m_eState = ESimState::Stopped;
            bClose = true;
        }
    }
    if (bClose)
        m_Pty.Close();
    m_Cond.notify_all();
}

ESimState CSimDevice::GetState() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_eState;
}

bool CSimDevice::WaitUntilEnded(std::chrono::milliseconds tLimit) const
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    return m_Cond.wait_for(ALock, tLimit, [this] {
        return m_eState == ESimState::Stopped || m_eState == ESimState::HungUp;
    });
}

std::string CSimDevice::GetSlavePath() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_strSlave;
}

std::string CSimDevice::GetLinkPath() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_strLink;
}

CSimCounters CSimDevice::GetCounters() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Counters;
}

bool CSimDevice::WaitForFrames(std::uint64_t nCount, std::chrono::milliseconds tLimit) const
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    return m_Cond.wait_for(ALock, tLimit, [&] { return m_Counters.nFramesReceived >= nCount; });
}

std::vector<CSimBytes> CSimDevice::GetReceivedFrames() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Frames;
}

std::map<std::uint32_t, std::uint8_t> CSimDevice::GetFirmware() const
{
    return m_Recorder.GetFirmwareBytes();
}

CSimDevice::CBytes CSimDevice::GetImage(std::uint8_t btStageStart) const
{
    const CStage* pStage = FindStageBy(&CStage::btStart, btStageStart);
    if (pStage == nullptr || pStage->btBlock == 0 || pStage->eImage == EImage::Project)
        return {};
    return m_Recorder.GetImage(ToSimImage(pStage->eImage));
}

CSimDevice::CBytes CSimDevice::GetSettings() const { return m_Recorder.GetSettings().value_or(CBytes{}); }

bool CSimDevice::IsGone() const { return !m_Pty.IsOpen(); }

void CSimDevice::RunLoop()
{
    std::vector<std::uint8_t> btBuf(65536);
    while (!IsGone()) {
        pollfd pfd[3] = {{m_Pty.GetMasterFd(), POLLIN, 0}, {m_Wake.Get(), POLLIN, 0},
                         {m_Pty.GetOpenWatchFd(), POLLIN, 0}};
        const int nReady = ::poll(pfd, 3, kIdlePollMs);
        if (nReady < 0 && errno != EINTR)
            break;
        if (pfd[1].revents != 0)
            break;
        // A host's open comes before anything it writes: its first 0x45 is
        // then its probe.
        if (m_Pty.TakeOpened())
            m_Responder.OnHostOpened();
        m_Pty.AllowReopen();
        if (nReady == 0)
            DropCutShort();
        if (nReady <= 0)
            continue;
        if (pfd[0].revents & POLLIN) {
            const long nRead = m_Pty.Read(btBuf);
            if (nRead > 0) {
                // The host has written, so it has opened the port by now and
                // asked for exclusive use; let it open the port again later.
                m_Pty.AllowReopen();
                m_Pacer.OnReceived(static_cast<std::size_t>(nRead));
                CutReceived({btBuf.data(), static_cast<std::size_t>(nRead)});
                continue;
            }
        }
        // No host has the port open just now: wait for one without spinning.
        if (pfd[0].revents & (POLLHUP | POLLERR))
            ::poll(&pfd[1], 1, 5);
    }
}

void CSimDevice::CutReceived(std::span<const std::uint8_t> Chunk)
{
    // The device cuts by the full 16-bit length: the host's data frames are
    // larger than 255 bytes.
    m_strReceive.Append(Chunk.data(), static_cast<std::int32_t>(Chunk.size()));
    std::int32_t nHead = -1;
    std::int32_t nTail = -1;
    while (!IsGone() && FindFrameWide(m_strReceive, nHead, nTail)) {
        const std::span<const std::uint8_t> Buffer = m_strReceive.AsSpan();
        if (nHead > 0) {
            m_Recorder.Log(ESimLogKind::Bad, Buffer.first(static_cast<std::size_t>(nHead)));
            std::lock_guard<std::mutex> ALock(m_Mutex);
            ++m_Counters.nBadFrames;
        }
        const CSimBytes Frame(Buffer.begin() + nHead, Buffer.begin() + nTail);
        m_strReceive.Erase(0, nTail);
        HandleFrame(Frame);
    }
    // A frame from the host is at most 65535 bytes; more than two frames'
    // worth of bytes that never form one are dropped from the front.
    if (m_strReceive.GetLength() > kWideReceiveLimit) {
        const std::int32_t nDrop = m_strReceive.GetLength() - kWideReceiveKeep;
        m_Recorder.Log(ESimLogKind::Bad, m_strReceive.AsSpan().first(static_cast<std::size_t>(nDrop)));
        m_strReceive.Erase(0, nDrop);
        std::lock_guard<std::mutex> ALock(m_Mutex);
        ++m_Counters.nBadFrames;
    }
}

void CSimDevice::DropCutShort()
{
    // The host writes each frame whole; bytes that wait for the rest of
    // theirs through a quiet idle wait will never be completed (a host that
    // flushed its port on close, or died). Like a device's receive
    // time-out, this frees the line for the next frame.
    if (m_strReceive.IsEmpty())
        return;
    m_Recorder.Log(ESimLogKind::Bad, m_strReceive.AsSpan());
    m_strReceive.Clear();
    std::lock_guard<std::mutex> ALock(m_Mutex);
    ++m_Counters.nBadFrames;
}

void CSimDevice::HandleFrame(std::span<const std::uint8_t> Frame)
{
    m_Pacer.WaitReceived();
    m_Recorder.Log(ESimLogKind::Received, Frame);
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_Frames.emplace_back(Frame.begin(), Frame.end());
    }
    const CSimReaction AReaction = m_Responder.React(Frame);
    const bool bDelayed = m_Options.nAnswerDelayCommand < 0 ||
                          (Frame.size() > 3 && Frame[3] == m_Options.nAnswerDelayCommand);
    if (!AReaction.Answers.empty() && m_Options.dwAnswerDelayMs != 0 && bDelayed) {
        // The device's own work; a stop ends it early.
        pollfd pfd{m_Wake.Get(), POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(m_Options.dwAnswerDelayMs));
    }
    for (const CSimBytes& Answer : AReaction.Answers)
        Send(Answer);
    if (AReaction.bDeviceRequest)
        Send(CSimResponder::MakeDeviceRequest());
    if (AReaction.bHangup)
        HangUp();
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        ++m_Counters.nFramesReceived;
    }
    m_Cond.notify_all();
}

void CSimDevice::Send(std::span<const std::uint8_t> Bytes)
{
    // Logged before it goes, so that whoever reads the answer finds it in
    // the log already.
    m_Recorder.Log(ESimLogKind::Sent, Bytes);
    std::uint64_t nWrites = 0;
    std::size_t nDone = 0;
    while (nDone < Bytes.size()) {
        std::size_t nPiece = Bytes.size() - nDone;
        if (m_Options.eTear == ETear::Bytes)
            nPiece = 1;
        else if (m_Options.eTear == ETear::Random)
            nPiece = std::uniform_int_distribution<std::size_t>(1, std::min(nPiece, kLargestChunk))(m_Random);
        if (nDone > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(m_Options.dwTearGapUs));
        // Paced whole: the host's probe takes an answer as one read, which
        // ends at the first pause in the bytes.
        m_Pacer.WaitToSend(nPiece);
        m_Pty.WriteAll(Bytes.subspan(nDone, nPiece));
        nDone += nPiece;
        ++nWrites;
    }
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        ++m_Counters.nFramesSent;
        m_Counters.nWrites += nWrites;
    }
    if (m_Options.nNoiseMax != 0)
        SendNoise();
}

void CSimDevice::SendNoise()
{
    // Noise never holds the start byte, so it can neither begin a frame of
    // its own nor swallow the frame behind it.
    const std::size_t nCount = std::uniform_int_distribution<std::size_t>(1, m_Options.nNoiseMax)(m_Random);
    CSimBytes Noise(nCount);
    std::uniform_int_distribution<int> AByte(0, 254);
    for (std::uint8_t& bt : Noise) {
        const int n = AByte(m_Random);
        bt = static_cast<std::uint8_t>(n >= kStartByte ? n + 1 : n);
    }
    m_Recorder.Log(ESimLogKind::Noise, Noise);
    m_Pacer.WaitToSend(Noise.size());
    m_Pty.WriteAll(Noise);
    std::lock_guard<std::mutex> ALock(m_Mutex);
    m_Counters.nNoiseBytes += Noise.size();
}

void CSimDevice::HangUp()
{
    // The last answer reaches the host's side of the terminal a moment
    // after it was written; wait until it has arrived and been read.
    const auto tStart = std::chrono::steady_clock::now();
    bool bArrived = false;
    while (std::chrono::steady_clock::now() - tStart < kHangupLinger) {
        if (m_Pty.GetUnread() > 0)
            bArrived = true;
        else if (bArrived || std::chrono::steady_clock::now() - tStart > kHangupArrival)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_Pty.Close();
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_eState = ESimState::HungUp;
    }
    m_Cond.notify_all();
}
