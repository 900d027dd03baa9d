#include "AutoThread.h"

#include <cerrno>
#include <ctime>

#include "EventObject.h"

namespace {

// Marks the body as finished however it ends: by returning, or by the
// unwinding of a cancellation.
class CFinishMark {
public:
    explicit CFinishMark(CEventObject& Event) : m_Event(Event) {}
    ~CFinishMark() { m_Event.Set(); }
    CFinishMark(const CFinishMark&) = delete;
    CFinishMark& operator=(const CFinishMark&) = delete;
private:
    CEventObject& m_Event;
};

timespec DeadlineIn(std::uint32_t dwMilliseconds)
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    ts.tv_sec += dwMilliseconds / 1000;
    ts.tv_nsec += static_cast<long>(dwMilliseconds % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

} // namespace

CAutoThread::CAutoThread(std::uint32_t dwStopTimeout) : m_dwStopTimeout(dwStopTimeout) {}

CAutoThread::~CAutoThread()
{
    // A derived class must stop its thread in its own destructor: by now the
    // body's object is gone. This is only the last safety net.
    Stop(m_dwStopTimeout);
}

bool CAutoThread::IsCurrentThread() const
{
    return m_bHasThread && pthread_equal(m_hThread, pthread_self()) != 0;
}

void* CAutoThread::ThreadProc(void* pParam)
{
    auto* pThis = static_cast<CAutoThread*>(pParam);
    // Own a reference: a body that had to be left detached may outlive the
    // object's current event.
    const std::shared_ptr<CEventObject> pFinished = pThis->m_pFinished;
    CFinishMark AMark(*pFinished);
    pThis->m_nExitCode = pThis->Run();
    return nullptr;
}

bool CAutoThread::Start()
{
    Stop(m_dwStopTimeout);
    if (m_bHasThread)
        return true;
    m_nStop = 0;
    m_nExitCode = -1;
    m_pFinished = std::make_shared<CEventObject>(nullptr, true, false);
    if (pthread_create(&m_hThread, nullptr, &CAutoThread::ThreadProc, this) != 0) {
        m_nStop = 1;
        return false;
    }
    m_bHasThread = true;
    m_dwThreadId = static_cast<std::uint32_t>(m_hThread);
    return true;
}

bool CAutoThread::Stop(std::uint32_t dwMilliseconds)
{
    m_nStop = 1;
    if (!m_bHasThread)
        return false;
    // A body that stops its own thread cannot wait for itself; the flag ends
    // it, and whoever stops or starts it next joins it.
    if (IsCurrentThread())
        return false;
    if (m_pFinished->Wait(dwMilliseconds)) {
        pthread_join(m_hThread, nullptr);
        ReleaseHandle();
        return true;
    }
    Terminate();
    return false;
}

bool CAutoThread::Stop() { return Stop(m_dwStopTimeout) || !m_bHasThread; }

bool CAutoThread::Terminate()
{
    if (!m_bHasThread || IsCurrentThread())
        return false;
    const bool bCancelled = pthread_cancel(m_hThread) == 0;
    // A body that never reaches a cancellation point cannot be ended; it is
    // left to run detached rather than hang the caller.
    const timespec tsDeadline = DeadlineIn(m_dwStopTimeout);
    if (pthread_timedjoin_np(m_hThread, nullptr, &tsDeadline) != 0)
        pthread_detach(m_hThread);
    m_nExitCode = -1;
    ReleaseHandle();
    m_nStop = 1;
    return bCancelled;
}

void CAutoThread::ReleaseHandle()
{
    m_bHasThread = false;
    m_hThread = pthread_t{};
}
