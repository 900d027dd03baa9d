#pragma once
#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "NotifyWindow.h"

// What the bridge delivers a message to: a window's message handler, on
// the GUI thread.
class CMessageTarget {
public:
    virtual ~CMessageTarget() = default;
    virtual std::intptr_t HandleMessage(std::uint32_t uMsg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// The worker's notification target for a window. SendMessage from a worker
// thread waits until the GUI thread has handled the message; on the GUI
// thread it runs at once. Once closed (the window is gone or the program is
// shutting down) every waiting and every later sender returns 0 without the
// message being handled, so a worker can never block a shutdown that waits
// for it.
class CNotifyBridge final : public QObject, public CNotifyWindow {
    Q_OBJECT
public:
    CNotifyBridge();
    ~CNotifyBridge() override;

    // GUI thread only.
    // The window that handles the messages (not owned); null: none.
    void SetTarget(CMessageTarget* pTarget);
    // Any thread.
    void Close();
    bool IsClosed() const;

    std::intptr_t SendMessage(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    struct CCall {
        std::uint32_t uMessage = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
        std::intptr_t nResult = 0;
        bool bDone = false;
    };
    void Deliver(CCall& ACall);

    CMessageTarget* m_pTarget = nullptr;  // touched on the GUI thread only
    mutable std::mutex m_Mutex;
    std::condition_variable m_Cond;
    bool m_bClosed = false;
};
