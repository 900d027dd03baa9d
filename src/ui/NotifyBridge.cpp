#include "NotifyBridge.h"

#include <QThread>

CNotifyBridge::CNotifyBridge() = default;

CNotifyBridge::~CNotifyBridge() { Close(); }

void CNotifyBridge::SetTarget(CMessageTarget* pTarget) { m_pTarget = pTarget; }

void CNotifyBridge::Close()
{
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_bClosed = true;
    }
    m_Cond.notify_all();
}

bool CNotifyBridge::IsClosed() const
{
    std::lock_guard<std::mutex> ALock(m_Mutex);
    return m_bClosed;
}

void CNotifyBridge::Deliver(CCall& ACall)
{
    if (!IsClosed() && m_pTarget != nullptr)
        ACall.nResult = m_pTarget->HandleMessage(ACall.uMessage, ACall.wParam, ACall.lParam);
}

std::intptr_t CNotifyBridge::SendMessage(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (QThread::currentThread() == thread()) {
        CCall ACall{uMessage, wParam, lParam};
        Deliver(ACall);
        return ACall.nResult;
    }
    auto pCall = std::make_shared<CCall>(CCall{uMessage, wParam, lParam});
    {
        // Taken after the call is filled in, so the GUI thread, which reads
        // it under the same lock, sees it complete.
        std::lock_guard<std::mutex> ALock(m_Mutex);
        if (m_bClosed)
            return 0;
    }
    // The call is shared: a sender released by Close returns while the
    // queued delivery may still run later and must find its record alive.
    QMetaObject::invokeMethod(
        this,
        [this, pCall] {
            CCall ACall;
            {
                std::lock_guard<std::mutex> ALock(m_Mutex);
                ACall = *pCall;
            }
            Deliver(ACall);
            {
                std::lock_guard<std::mutex> ALock(m_Mutex);
                pCall->nResult = ACall.nResult;
                pCall->bDone = true;
            }
            m_Cond.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> ALock(m_Mutex);
    m_Cond.wait(ALock, [&] { return pCall->bDone || m_bClosed; });
    return pCall->bDone ? pCall->nResult : 0;
}
