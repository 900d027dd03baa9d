#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "NotifyWindow.h"

// One notification as the window would have received it, with the moment
// it arrived.
struct CNote {
    CNote(std::uint32_t uMsg, std::uintptr_t w, std::intptr_t l, std::chrono::steady_clock::time_point t = {})
        : uMessage(uMsg), wParam(w), lParam(l), tAt(t)
    {
    }
    std::uint32_t uMessage;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::chrono::steady_clock::time_point tAt;
    // The same notification, whenever it came.
    bool operator==(const CNote& A) const
    {
        return uMessage == A.uMessage && wParam == A.wParam && lParam == A.lParam;
    }
};

// A notification target that keeps every notification in order, for the
// tests, the benchmarks and the fuzzers, which look at what a window would
// have been told. Any thread may call any operation; the recorder takes its
// own lock only, never calls out, and wakes its waiters after each message.
class CNoteRecorder final : public CNotifyWindow {
public:
    std::intptr_t SendMessage(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam) override;

    std::vector<CNote> GetNotes() const;
    // Hands the notes over and keeps none (a recorder that lives through
    // many updates stays small).
    std::vector<CNote> TakeNotes();
    // Waits until nCount notifications uMessage (with wParam, when it is not
    // negative) are kept.
    bool WaitFor(std::uint32_t uMessage, long nWParam = -1,
                 std::chrono::milliseconds tLimit = std::chrono::seconds(20), std::size_t nCount = 1) const;
    // The stage-result notifications as (stage, result).
    std::vector<std::pair<int, int>> Results() const;

private:
    std::size_t CountLocked(std::uint32_t uMessage, long nWParam) const;

    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Cond;
    std::vector<CNote> m_Notes;
};
