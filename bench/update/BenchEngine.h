#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "NotifyWindow.h"
#include "Work_BK.h"

using ABenchClock = std::chrono::steady_clock;

// One notification, with the moment it reached the window.
struct CBenchNote {
    std::uint32_t uMessage = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    ABenchClock::time_point tAt{};
};

// The benchmark's window: keeps every notification with its time stamp and
// does nothing else. Progress notifications wake no waiter, so the window
// costs the worker a lock and a push per answer.
class CBenchWindow final : public CNotifyWindow {
public:
    std::intptr_t SendMessage(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam) override;
    // Waits until nCount notifications uMessage (with wParam, when given)
    // have arrived.
    bool WaitFor(std::uint32_t uMessage, long nWParam, int nCount, std::chrono::milliseconds tLimit) const;
    std::vector<CBenchNote> GetNotes() const;
    // The first notification uMessage with this wParam; false when none came.
    bool FindFirst(std::uint32_t uMessage, std::uintptr_t wParam, CBenchNote& ANote) const;

private:
    int CountLocked(std::uint32_t uMessage, long nWParam) const;

    mutable std::mutex m_Mutex;
    // Every notification but progress, which nobody waits for.
    std::vector<CBenchNote> m_Events;
    mutable std::condition_variable m_Cond;
    std::vector<CBenchNote> m_Notes;
};

// The worker as it ships, plus time stamps: each stage's start command
// written to the port (where the stage's time begins), every read handed
// to the worker and every firmware record written.
class CBenchWork final : public CWork_BK {
public:
    CBenchWork();
    ~CBenchWork() override;
    int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) override;
    int SendData(const std::uint8_t* pBytes, std::uint32_t dwCount) override;
    // Start command written for stage 1 to 5; false when it never was.
    bool GetStartWritten(int nStage, ABenchClock::time_point& tAt) const;
    std::vector<ABenchClock::time_point> GetReads() const;
    std::vector<ABenchClock::time_point> GetRecordWrites() const;
    // Frames written through the queue (the probe is not among them).
    std::uint64_t GetFramesWritten() const;

private:
    mutable std::mutex m_Mutex;
    ABenchClock::time_point m_tStart[6]{};
    bool m_bStarted[6]{};
    std::vector<ABenchClock::time_point> m_Reads;
    std::vector<ABenchClock::time_point> m_RecordWrites;
    std::uint64_t m_nFramesWritten = 0;
};
