// Win32 threads for CAutoThread. There is no forced end: TerminateThread
// unwinds nothing and would leave the body's locks held.
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
