#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <utility>

#include "AutoThread.h"
#include "DebugPrint.h"
#include "EventObject.h"
#include "MuTexObject.h"
#include "Singleton.h"
#include "Tick.h"

// The send queue with one command in flight. Producers on any thread queue
// copies of finished packets; the manager's thread sends the front packet,
// which stays queued until an answer for its command (OnAnswer), the
// time-out decision of the owner (OnTimeout), ClearTasks or Stop removes it.
//
// An answer that lets the next packet go sends it at once on the answering
// thread: waking the manager's thread for it would add a thread switch to
// every round trip, which for 16-byte firmware records is a large share of
// the time on the line. The manager's thread sends what is queued onto an
// empty queue and handles the time-outs.
//
// The owner derives from this template and supplies SendData, SendTask and
// OnTimeout; it must call Stop in its own destructor, while those still
// exist. No owner operation is ever called with the queue lock held, so an
// owner may block (on a window, on the port) without holding up producers.
//
// Threads: AddTask, ClearTasks, RemoveFront, OnAnswer and the counts from
// any thread; Start and Stop from the owner's controlling thread (Stop also
// from the manager's own thread, in an owner callback, which then only
// flags the end). SendTask and SendData are called on the manager's thread
// (a packet queued onto an empty queue, a time-out) and on the thread of
// the OnAnswer that let the next packet go; OnTimeout on the manager's
// thread only.
// Lock: the queue lock (this object, a CMuTexObject), re-entrant and timed;
// callers may hold their own locks while calling in (the worker's image
// lock while it queues a stage), never the other way round.
// Packets: the queue keeps its own copies; nothing handed in is kept.
template <class TPacket, class TOwner>
class CTaskManager : public CAutoThread, public CMuTexObject, public Singleton<TOwner> {
public:
    CTaskManager() : CAutoThread(2000) {}
    ~CTaskManager() override { CTaskManager::Stop(); }

    virtual bool AddTask(const TPacket& APacket)
    {
        CGuard ALock(*this);
        if (!ALock.Owns())
            return false;
        m_Queue.push_back({++m_nNextId, APacket});
        if (m_pEvent && m_Queue.size() == 1)
            m_pEvent->Set();
        return true;
    }

    virtual bool ClearTasks()
    {
        CGuard ALock(*this);
        if (!ALock.Owns())
            return false;
        m_Queue.clear();
        return true;
    }

    // Removes the packet in flight when it carries btCommand, without
    // counting it answered or sending the next; answers whether it did.
    bool RemoveFront(std::uint8_t btCommand)
    {
        CGuard ALock(*this);
        if (!ALock.Owns() || m_Queue.empty() || m_Queue.front().APacket.GetCommand() != btCommand)
            return false;
        m_Queue.pop_front();
        return true;
    }

    virtual int OnAnswer(std::uint8_t btCommand)
    {
        bool bSendNext = false;
        {
            CGuard ALock(*this);
            if (!ALock.Owns() || m_Queue.empty())
                return 0;
            const std::uint8_t btFront = m_Queue.front().APacket.GetCommand();
            DebugPrint(L"[CMD %02X %02X\r\n", btFront, btCommand);
            if (btFront != btCommand)
                return 0;
            m_Queue.pop_front();
            ++m_nAnswered;
            bSendNext = m_pEvent && !m_Queue.empty();
        }
        if (bSendNext)
            SendFront(true);
        return 0;
    }

    virtual bool Start()
    {
        Stop();
        {
            CGuard ALock(*this);
            m_pEvent = std::make_unique<CEventObject>(nullptr, false, false);
        }
        CAutoThread::Start();
        DebugPrint(L"[CTaskManager]Thread:0x%x\r\n", GetThreadId());
        return true;
    }

    virtual bool Stop()
    {
        if (IsCurrentThread()) {
            // Asked from the manager's own thread (an owner callback): the
            // flag ends the loop; the event stays until a later Start or
            // Stop from another thread has joined the thread.
            CAutoThread::Stop(0);
            ResetQueue();
            return true;
        }
        // The flag first: the woken thread must see it, or it would wait again.
        RequestStop();
        {
            CGuard ALock(*this);
            if (m_pEvent)
                m_pEvent->Set();
        }
        CAutoThread::Stop(2000);
        ResetQueue();
        CGuard ALock(*this);
        m_pEvent.reset();
        return true;
    }

    virtual int SendData(const std::uint8_t* pBytes, std::uint32_t dwCount) = 0;
    virtual int SendTask(TPacket& APacket, std::uint32_t dwTriesUsed) = 0;
    virtual bool OnTimeout(TPacket& APacket) = 0;

    // How long the thread waits for an answer before it asks OnTimeout.
    void SetWaitTime(std::uint32_t dwMilliseconds) { m_dwWaitTime = dwMilliseconds; }

    std::size_t GetTaskCount()
    {
        CGuard ALock(*this);
        return m_Queue.size();
    }
    // The command byte of the packet in flight, 0 when the queue is empty.
    std::uint8_t GetFrontCommand()
    {
        CGuard ALock(*this);
        return m_Queue.empty() ? 0 : m_Queue.front().APacket.GetCommand();
    }
    // How many packets have left the queue through a matching answer.
    std::uint64_t GetAnsweredCount()
    {
        CGuard ALock(*this);
        return m_nAnswered;
    }

protected:
    int Run() override
    {
        // The event only changes while this thread does not run.
        CEventObject* pEvent = m_pEvent.get();
        StartWait();
        while (!StopRequested() && pEvent != nullptr) {
            const bool bSignalled = pEvent->Wait(GetWaitLeft());
            // Another thread asks for the stop while this one waits.
            // cppcheck-suppress knownConditionTrueFalse
            if (StopRequested())
                break;
            // A packet sent on an answering thread meanwhile has its own
            // full wait for its answer.
            if (!bSignalled && GetWaitLeft() > 0)
                continue;
            StartWait();
            if (bSignalled)
                SendFront(false);
            else
                OnWaitTimedOut();
        }
        return 0;
    }

private:
    using CGuard = CMuTexObject::CGuard;

    using AClock = std::chrono::steady_clock;

    struct CEntry {
        std::uint64_t nId = 0;
        TPacket APacket;
        bool bSentOnAnswer = false;
    };

    // The wait for an answer runs from the last send (or wake-up) on.
    void StartWait() { m_nWaitFrom = AClock::now().time_since_epoch().count(); }
    std::uint32_t GetWaitLeft() const
    {
        const auto tFrom = AClock::time_point(AClock::duration(m_nWaitFrom.load()));
        const auto nSpent =
            std::chrono::duration_cast<std::chrono::milliseconds>(AClock::now() - tFrom).count();
        return nSpent >= m_dwWaitTime ? 0 : static_cast<std::uint32_t>(m_dwWaitTime - nSpent);
    }

    std::optional<CEntry> CopyFront()
    {
        CGuard ALock(*this);
        if (!ALock.Owns() || m_Queue.empty())
            return std::nullopt;
        return m_Queue.front();
    }

    // No answer within the wait: the owner decides whether the front packet
    // is dropped; the packet behind it is then sent at once, as a raw send
    // that does not count a try.
    void OnWaitTimedOut()
    {
        std::optional<CEntry> AFront = CopyFront();
        if (!AFront || !OnTimeout(AFront->APacket))
            return;
        std::optional<TPacket> ANext;
        {
            CGuard ALock(*this);
            if (!ALock.Owns() || m_Queue.empty() || m_Queue.front().nId != AFront->nId)
                return;
            m_Queue.pop_front();
            if (!m_Queue.empty())
                ANext = m_Queue.front().APacket;
        }
        if (ANext)
            SendData(ANext->GetData(), static_cast<std::uint32_t>(ANext->GetSize()));
    }

    // Sends the front packet. A packet woken for again while it is still at
    // the front has used its tries: it is sent a last time and dropped. One
    // that an answering thread has sent already is not sent again: the
    // wake-up was for a packet that has left since.
    void SendFront(bool bOnAnswer)
    {
        std::optional<CEntry> ACopy;
        std::uint32_t dwTriesUsed = 0;
        bool bExhausted = false;
        std::size_t nQueued = 0;
        {
            CGuard ALock(*this);
            if (!ALock.Owns() || m_Queue.empty())
                return;
            CEntry& AFront = m_Queue.front();
            if (AFront.bSentOnAnswer)
                return;
            AFront.bSentOnAnswer = bOnAnswer;
            dwTriesUsed = AFront.APacket.GetTriesUsed();
            bExhausted = !AFront.APacket.NextTry();
            ACopy = AFront;
            nQueued = m_Queue.size();
        }
        DebugPrint(L"[TaskManager] thread run :%d size=%d\r\n", static_cast<int>(GetTickCount()),
                   static_cast<int>(nQueued));
        if (bOnAnswer)
            StartWait();
        SendTask(ACopy->APacket, dwTriesUsed);
        if (bExhausted) {
            // Only the packet that was sent leaves: an answer may already
            // have removed it, and the next one must not be lost in its place.
            CGuard ALock(*this);
            if (ALock.Owns() && !m_Queue.empty() && m_Queue.front().nId == ACopy->nId)
                m_Queue.pop_front();
        }
    }

    void ResetQueue()
    {
        CGuard ALock(*this);
        m_Queue.clear();
    }

    std::unique_ptr<CEventObject> m_pEvent;
    std::list<CEntry> m_Queue;
    std::uint64_t m_nNextId = 0;
    std::uint64_t m_nAnswered = 0;
    std::uint32_t m_dwWaitTime = 5000;
    std::atomic<AClock::rep> m_nWaitFrom{0};
};
