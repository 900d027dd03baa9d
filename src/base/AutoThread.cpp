#include "AutoThread.h"

#include "DebugPrint.h"
#include "EventObject.h"

CAutoThread::CAutoThread(std::uint32_t dwStopTimeout) : m_dwStopTimeout(dwStopTimeout) {}

CAutoThread::~CAutoThread()
{
    // A derived class must stop its thread in its own destructor: by now the
    // body's object is gone. This is only the last safety net.
    Stop(m_dwStopTimeout);
}

void CAutoThread::RunBody(CAutoThread* pThis)
{
    pThis->m_nExitCode = pThis->Run();
    pThis->m_pFinished->Set();
}

bool CAutoThread::Start()
{
    Stop(m_dwStopTimeout);
    if (m_bHasThread)
        return true;
    m_nStop = 0;
    m_nExitCode = -1;
    m_pFinished = std::make_unique<CEventObject>(nullptr, true, false);
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
    if (!m_pFinished->Wait(dwMilliseconds)) {
        // Ending it by force would leave its locks held; a late body is
        // waited for, and the trace tells which one kept the program.
        DebugPrint(L"[Thread] 0x%x has not ended %u ms after its stop; waiting for it\r\n", m_dwThreadId,
                   dwMilliseconds);
        m_pFinished->Wait();
    }
    JoinNative();
    ReleaseHandle();
    return true;
}

bool CAutoThread::Stop() { return Stop(m_dwStopTimeout) || !m_bHasThread; }

void CAutoThread::ReleaseHandle()
{
    m_bHasThread = false;
    m_hThread = 0;
    m_dwThreadId = 0;
}
