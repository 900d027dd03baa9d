#include "NoteRecorder.h"

std::intptr_t CNoteRecorder::SendMessage(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam)
{
    const auto tNow = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_Notes.push_back({uMessage, wParam, lParam, tNow});
    }
    m_Cond.notify_all();
    return 0;
}

std::vector<CNote> CNoteRecorder::GetNotes() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_Notes;
}

std::vector<CNote> CNoteRecorder::TakeNotes()
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return std::exchange(m_Notes, {});
}

std::size_t CNoteRecorder::CountLocked(std::uint32_t uMessage, long nWParam) const
{
    std::size_t nCount = 0;
    for (const CNote& ANote : m_Notes)
        nCount += ANote.uMessage == uMessage && (nWParam < 0 || ANote.wParam == static_cast<std::uintptr_t>(nWParam));
    return nCount;
}

bool CNoteRecorder::WaitFor(std::uint32_t uMessage, long nWParam, std::chrono::milliseconds tLimit,
                            std::size_t nCount) const
{
    std::unique_lock<std::mutex> ALock(m_Mutex);
    return m_Cond.wait_for(ALock, tLimit, [&] { return CountLocked(uMessage, nWParam) >= nCount; });
}

std::vector<std::pair<int, int>> CNoteRecorder::Results() const
{
    std::vector<std::pair<int, int>> Pairs;
    for (const CNote& ANote : GetNotes())
        if (ANote.uMessage == WM_STAGE_RESULT)
            Pairs.emplace_back(static_cast<int>(ANote.wParam), static_cast<int>(ANote.lParam));
    return Pairs;
}

