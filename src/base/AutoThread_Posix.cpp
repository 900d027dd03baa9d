// POSIX threads for CAutoThread: the forced end is a deferred cancellation,
// which unwinds the body's stack at its next wait.
#include "AutoThread.h"

#include <ctime>
#include <pthread.h>

namespace {

static_assert(sizeof(pthread_t) <= sizeof(std::uintptr_t));

pthread_t Native(std::uintptr_t hThread) { return static_cast<pthread_t>(hThread); }

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

bool CAutoThread::TerminateNative()
{
    const bool bCancelled = pthread_cancel(Native(m_hThread)) == 0;
    // A body that never reaches a cancellation point cannot be ended; it is
    // left to run detached rather than hang the caller.
    const timespec tsDeadline = DeadlineIn(m_dwStopTimeout);
    if (pthread_timedjoin_np(Native(m_hThread), nullptr, &tsDeadline) != 0)
        pthread_detach(Native(m_hThread));
    return bCancelled;
}

namespace {

void* ThreadProc(void* pParam)
{
    CAutoThread::RunBody(static_cast<CAutoThread*>(pParam));
    return nullptr;
}

} // namespace
