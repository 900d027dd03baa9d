#include "AutoThread.h"

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

} // namespace

CAutoThread::CAutoThread(std::uint32_t dwStopTimeout) : m_dwStopTimeout(dwStopTimeout) {}

CAutoThread::~CAutoThread()
{
    // A derived class must stop its thread in its own destructor: by now the
    // body's object is gone. This is only the last safety net.
    Stop(m_dwStopTimeout);
}

void CAutoThread::RunBody(CAutoThread* pThis)
{
    // Own a reference: a body that had to be left detached may outlive the
    // object's current event.
    const std::shared_ptr<CEventObject> pFinished = pThis->m_pFinished;
    CFinishMark AMark(*pFinished);
    pThis->m_nExitCode = pThis->Run();
}

bool CAutoThread::Start()
{
    Stop(m_dwStopTimeout);
    if (m_bHasThread)
        return true;
    m_nStop = 0;
    m_nExitCode = -1;
    m_pFinished = std::make_shared<CEventObject>(nullptr, true, false);
    if (!CreateNative()) {
        m_nStop = 1;
        return false;
    }
    m_bHasThread = true;
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
        JoinNative();
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
    const bool bEnded = TerminateNative();
    m_nExitCode = -1;
    ReleaseHandle();
    m_nStop = 1;
    return bEnded;
}

void CAutoThread::ReleaseHandle()
{
    m_bHasThread = false;
    m_hThread = 0;
    m_dwThreadId = 0;
}
