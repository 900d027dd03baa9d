// Win32 threads for CAutoThread. The forced end is TerminateThread, a last
// resort: it unwinds nothing, so a lock the body held stays held and what
// it allocated stays allocated. No body in this program needs it: each
// honours its stop flag at every wait, and Terminate runs only when a body
// has not ended within the stop time-out.
#include "AutoThread.h"

#include <process.h>

#include "Win32Names.h"

namespace {

HANDLE Native(std::uintptr_t hThread) { return reinterpret_cast<HANDLE>(hThread); }

unsigned __stdcall ThreadProc(void* pParam)
{
    CAutoThread::RunBody(static_cast<CAutoThread*>(pParam));
    return 0;
}

} // namespace

bool CAutoThread::IsCurrentThread() const { return m_bHasThread && m_dwThreadId == ::GetCurrentThreadId(); }

bool CAutoThread::CreateNative()
{
    // _beginthreadex, not CreateThread: the body uses the C runtime.
    unsigned uThreadId = 0;
    const std::uintptr_t hThread = _beginthreadex(nullptr, 0, &ThreadProc, this, 0, &uThreadId);
    if (hThread == 0)
        return false;
    m_hThread = hThread;
    m_dwThreadId = uThreadId;
    return true;
}

void CAutoThread::JoinNative()
{
    ::WaitForSingleObject(Native(m_hThread), INFINITE);
    ::CloseHandle(Native(m_hThread));
}

bool CAutoThread::TerminateNative()
{
    const bool bEnded = ::TerminateThread(Native(m_hThread), static_cast<DWORD>(-1)) != 0;
    ::WaitForSingleObject(Native(m_hThread), m_dwStopTimeout);
    ::CloseHandle(Native(m_hThread));
    return bEnded;
}
