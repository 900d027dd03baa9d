// POSIX threads for CAutoThread. There is no forced end (no cancellation):
// every body ends by its stop flag.
#include "AutoThread.h"

#include <pthread.h>

namespace {

static_assert(sizeof(pthread_t) <= sizeof(std::uintptr_t));

pthread_t Native(std::uintptr_t hThread) { return static_cast<pthread_t>(hThread); }

void* ThreadProc(void* pParam);

} // namespace

bool CAutoThread::IsCurrentThread() const
{
    return m_bHasThread && pthread_equal(Native(m_hThread), pthread_self()) != 0;
}

bool CAutoThread::CreateNative()
{
    pthread_t hThread{};
    if (pthread_create(&hThread, nullptr, &ThreadProc, this) != 0)
        return false;
    m_hThread = static_cast<std::uintptr_t>(hThread);
    m_dwThreadId = static_cast<std::uint32_t>(hThread);
    return true;
}

void CAutoThread::JoinNative() { pthread_join(Native(m_hThread), nullptr); }

namespace {

void* ThreadProc(void* pParam)
{
    CAutoThread::RunBody(static_cast<CAutoThread*>(pParam));
    return nullptr;
}

} // namespace
