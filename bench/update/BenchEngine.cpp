#include "BenchEngine.h"

#include "Command.h"

std::intptr_t CBenchWindow::SendMessage(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam)
{
    const auto tNow = ABenchClock::now();
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_Notes.push_back({uMessage, wParam, lParam, tNow});
        if (uMessage == WM_PROGRESS)
            return 0;
        m_Events.push_back(m_Notes.back());
    }
    m_Cond.notify_all();
    return 0;
}

int CBenchWindow::CountLocked(std::uint32_t uMessage, long nWParam) const
{
    int nCount = 0;
    for (const CBenchNote& ANote : m_Events)
        nCount += ANote.uMessage == uMessage && (nWParam < 0 || ANote.wParam == static_cast<std::uintptr_t>(nWParam));
    return nCount;
}

bool CBenchWindow::WaitFor(std::uint32_t uMessage, long nWParam, int nCount, std::chrono::milliseconds tLimit) const
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    return m_Cond.wait_for(ALock, tLimit, [&] { return CountLocked(uMessage, nWParam) >= nCount; });
}

std::vector<CBenchNote> CBenchWindow::GetNotes() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Notes;
}

bool CBenchWindow::FindFirst(std::uint32_t uMessage, std::uintptr_t wParam, CBenchNote& ANote) const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    for (const CBenchNote& AEach : m_Events) {
        if (AEach.uMessage == uMessage && AEach.wParam == wParam) {
            ANote = AEach;
            return true;
        }
    }
    return false;
}

CBenchWork::CBenchWork()
{
    // Room for the records of the largest benchmark, so that keeping the
    // stamps never reallocates during a stage.
    m_Reads.reserve(1 << 16);
    m_RecordWrites.reserve(1 << 16);
}

CBenchWork::~CBenchWork()
{
    // The threads call SendData; they must end while this part still exists.
    Reset();
}

int CBenchWork::OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    const auto tNow = ABenchClock::now();
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_Reads.push_back(tNow);
    }
    return CWork_BK::OnReceive(pBytes, dwCount);
}

int CBenchWork::SendData(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    {
        const auto tNow = ABenchClock::now();
        std::lock_guard<std::mutex> ALock(m_Mutex);
        ++m_nFramesWritten;
        if (dwCount > 3 && pBytes[3] == Cmd::DataRecord)
            m_RecordWrites.push_back(tNow);
    }
    int nStage = 0;
    if (dwCount > 3) {
        switch (pBytes[3]) {
        case Cmd::ProjectStart: nStage = 1; break;
        case Cmd::EDogStart: nStage = 2; break;
        case Cmd::MusicStart: nStage = 3; break;
        case Cmd::RadarStart: nStage = 4; break;
        case Cmd::WriteSettings: nStage = 5; break;
        default: break;
        }
    }
    if (nStage != 0) {
        const auto tNow = ABenchClock::now();
        std::lock_guard<std::mutex> ALock(m_Mutex);
        if (!m_bStarted[nStage]) {
            m_bStarted[nStage] = true;
            m_tStart[nStage] = tNow;
        }
    }
    return CWork_BK::SendData(pBytes, dwCount);
}

bool CBenchWork::GetStartWritten(int nStage, ABenchClock::time_point& tAt) const
{
    if (nStage < 1 || nStage > 5)
        return false;
    std::lock_guard<std::mutex> ALock(m_Mutex);
    tAt = m_tStart[nStage];
    return m_bStarted[nStage];
}

std::vector<ABenchClock::time_point> CBenchWork::GetReads() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Reads;
}

std::vector<ABenchClock::time_point> CBenchWork::GetRecordWrites() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_RecordWrites;
}

std::uint64_t CBenchWork::GetFramesWritten() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_nFramesWritten;
}
