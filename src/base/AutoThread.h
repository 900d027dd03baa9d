#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <pthread.h>

class CEventObject;

// A thread whose body is the virtual Run. Stop asks the body to end (it tests
// StopRequested at the top of each turn) and waits for it; a body that does
// not end within the time-out is cancelled at its next wait, which unwinds
// its stack so that locks held through RAII are released.
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

protected:
    virtual int Run() = 0;

private:
    static void* ThreadProc(void* pParam);
    void ReleaseHandle();

    std::atomic<int> m_nStop{1};
    pthread_t m_hThread{};
    bool m_bHasThread = false;
    std::uint32_t m_dwThreadId = 0;
    std::atomic<std::int32_t> m_nExitCode{-1};
    std::uint32_t m_dwStopTimeout;
    std::shared_ptr<CEventObject> m_pFinished;
};
