#pragma once
#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "MessageTarget.h"
#include "NotifyWindow.h"

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

// Makes a window the bridge's target for as long as it lives: the program
// that owns both sets it up right after making the window (before the
// worker can send anything) and it ends before the window goes. GUI thread.
class CBridgeTarget {
public:
    CBridgeTarget(CNotifyBridge& ABridge, CMessageTarget& ATarget) : m_Bridge(ABridge) { m_Bridge.SetTarget(&ATarget); }
    ~CBridgeTarget() { m_Bridge.SetTarget(nullptr); }
    CBridgeTarget(const CBridgeTarget&) = delete;
    CBridgeTarget& operator=(const CBridgeTarget&) = delete;

private:
    CNotifyBridge& m_Bridge;
};
