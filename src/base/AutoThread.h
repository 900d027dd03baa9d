#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

class CEventObject;

// A thread whose body is the virtual Run. Stop asks the body to end (it tests
// StopRequested at the top of each turn) and waits until it has. No thread
// is ever ended by force: a forced end leaves the locks the body held held
// (TerminateThread unwinds nothing), which hung the program at exit. Every
// body therefore honours its stop flag at each wait, and every blocking call
// a body makes can be interrupted by whoever stops it (the serial port's
// reads end at once on Close). A body that takes longer than the stop
// time-out is waited for all the same, with a line in the trace saying so.
// Start and Stop: the owner's thread (Stop also from the body itself, which
// then only raises the flag).
class CAutoThread {
public:
    explicit CAutoThread(std::uint32_t dwStopTimeout);
    virtual ~CAutoThread();
    CAutoThread(const CAutoThread&) = delete;
    CAutoThread& operator=(const CAutoThread&) = delete;

    bool Start();
    // Raises the stop flag and waits for the body to end; answers whether
    // there was a thread to end (false with none, or from the body itself).
    bool Stop(std::uint32_t dwMilliseconds);
    bool Stop();

    bool StopRequested() const { return m_nStop.load() != 0; }
    // Raises the stop flag without waiting, so that a body woken next sees it.
    void RequestStop() { m_nStop = 1; }
    bool HasThread() const { return m_bHasThread; }
    std::uint32_t GetThreadId() const { return m_dwThreadId; }
    // -1 until the body returns; then what it answered.
    std::int32_t GetExitCode() const { return m_nExitCode.load(); }
    bool IsCurrentThread() const;

    // The body as the platform's thread procedure runs it; nothing else
    // calls it.
    static void RunBody(CAutoThread* pThis);

protected:
    virtual int Run() = 0;

private:
    // The platform's part: create the thread running RunBody, wait for it.
    bool CreateNative();
    void JoinNative();
    void ReleaseHandle();

    std::atomic<int> m_nStop{1};
    std::uintptr_t m_hThread = 0; // the platform's thread handle
    bool m_bHasThread = false;
    std::uint32_t m_dwThreadId = 0;
    std::atomic<std::int32_t> m_nExitCode{-1};
    std::uint32_t m_dwStopTimeout;
    std::unique_ptr<CEventObject> m_pFinished;
};
