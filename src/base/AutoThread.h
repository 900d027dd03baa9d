#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

class CEventObject;

// A thread whose body is the virtual Run. Stop asks the body to end (it tests
// StopRequested at the top of each turn) and waits for it; a body that does
// not end within the time-out is ended by force, a last resort that every
// body in this program avoids by honouring its stop flag at each wait. How
// it is forced is the platform's (AutoThread_Posix.cpp: cancelled at its
// next wait, which unwinds its stack so that locks held through RAII are
// released; AutoThread_Win32.cpp: TerminateThread, which unwinds nothing).
// Start, Stop and Terminate: the owner's thread (Stop also from the body
// itself, which then only raises the flag).
class CAutoThread {
public:
    explicit CAutoThread(std::uint32_t dwStopTimeout);
    virtual ~CAutoThread();
    CAutoThread(const CAutoThread&) = delete;
    CAutoThread& operator=(const CAutoThread&) = delete;

    bool Start();
    bool Stop(std::uint32_t dwMilliseconds);
    bool Stop();
    bool Terminate();

    bool StopRequested() const { return m_nStop.load() != 0; }
    // Raises the stop flag without waiting, so that a body woken next sees it.
    void RequestStop() { m_nStop = 1; }
    bool HasThread() const { return m_bHasThread; }
    std::uint32_t GetThreadId() const { return m_dwThreadId; }
    std::int32_t GetExitCode() const { return m_nExitCode.load(); }
    bool IsCurrentThread() const;

    // The body as the platform's thread procedure runs it; nothing else
    // calls it.
    static void RunBody(CAutoThread* pThis);

protected:
    virtual int Run() = 0;

private:
    // The platform's part: create the thread running RunBody, wait for it,
    // end it by force.
    bool CreateNative();
    void JoinNative();
    bool TerminateNative();
    void ReleaseHandle();

    std::atomic<int> m_nStop{1};
    std::uintptr_t m_hThread = 0; // the platform's thread handle
    bool m_bHasThread = false;
    std::uint32_t m_dwThreadId = 0;
    std::atomic<std::int32_t> m_nExitCode{-1};
    std::uint32_t m_dwStopTimeout;
    std::shared_ptr<CEventObject> m_pFinished;
};
