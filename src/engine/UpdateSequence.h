#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "EventObject.h"
#include "LockObject.h"
#include "Stages.h"
#include "UpdateFailure.h"

class CWork_BK;

// The update sequence: starts an update with its first stage that has work,
// lets the update thread queue each stage's frames, ends stages and starts
// the next, pauses after the firmware while the device restarts, and turns
// a stage that stalls, a lost device or a damaged file into the failure
// results. It belongs to the worker, which forwards the operations of its
// own interface here, and it reaches the device, the images and the window
// only through the worker.
//
// Threads:
// - Start: the thread that starts an update (the window's).
// - RequestStage, OnProjectEnded, NoteStatus, BeginReply/EndReply: the
//   serial read thread, from the reply dispatcher.
// - OnEndWritten: whichever thread writes an end command (the read thread
//   when an answer let it go, else the task manager's thread).
// - Fail: the read thread when the device is lost.
// - The update thread (Run to Stop) queues the stages' frames and watches
//   for a stall.
// - The queries (IsOpen, GetFailure): any thread.
//
// Locks, each guarding only its own fields and never held while calling
// out: m_StageLock (the stage requests), m_ReplyLock (the reply state and
// the stage ends waiting for it), m_FailureLock (the failure record).
class CUpdateSequence {
public:
    explicit CUpdateSequence(CWork_BK& AWork);
    ~CUpdateSequence();
    CUpdateSequence(const CUpdateSequence&) = delete;
    CUpdateSequence& operator=(const CUpdateSequence&) = delete;

    // Starts and stops the update thread (the worker's StartWork and destructor).
    void Run();
    void Stop();
    // Ends the firmware restart pause at once: the worker is shutting down.
    void Interrupt();
    void Resume();

    // Refuses a damaged file with its failure results, else queues the
    // first stage's start command; answers whether one was queued.
    bool Start();
    // A go-ahead came: the update thread queues the stage's frames.
    void RequestStage(std::int32_t nStage);
    // The device answered the firmware's end: the restart pause, then the
    // next stage (only while an update runs).
    void OnProjectEnded();
    // The last stage has ended: the whole update's result.
    void Finish();
    // An end command of a stage that ends when written has been written (or
    // failed to be).
    void OnEndWritten(std::uint8_t btEndCommand, bool bWritten);
    // The device answered a block with a failing status.
    void NoteStatus(std::uint8_t btCommand, std::uint8_t btStatus);
    // Ends the running update with its failure results.
    void Fail(CUpdateFailure::EKind eKind, const wchar_t* wzWhy);

    // A reply is being dispatched on the calling thread: stage ends raised
    // meanwhile (the answer to a stage's last block lets its end command go
    // on this thread) wait until the reply has notified its progress.
    void BeginReply();
    void EndReply();

    // Whether answers may still move an update on: before the first update,
    // or while one runs. Stray go-aheads and answers after an update has
    // ended (or failed) start and count nothing.
    bool IsOpen() const { return !m_bEverStarted || m_bInProgress; }
    // Whether an update runs now.
    bool IsRunning() const { return m_bInProgress; }
    // The firmware version the last update sent in its start command, or
    // -1 when it wrote no firmware.
    std::int32_t GetFirmwareSent() const { return m_nFirmwareSent; }
    CUpdateFailure GetFailure() const;

private:
    void Loop();
    void RunStage(std::int32_t nStage);
    // Queues the start of the first stage after nEnded that has work, or
    // finishes the update.
    void StartAfter(std::int32_t nEnded);
    void QueueStart(const CStage& AStage);
    bool RefuseDamaged();
    void CheckStall();
    void MarkActivity();
    void RunAfterReply(std::function<void()> Action);
    void SetFailure(CUpdateFailure AFailure);

    CWork_BK& m_Work;

    std::atomic<bool> m_bEverStarted{false};
    std::atomic<bool> m_bInProgress{false};
    std::atomic<bool> m_bPaused{false};
    std::atomic<std::uint32_t> m_dwLastActivity{0};
    std::atomic<std::int32_t> m_nPendingStage{0};   // the stage whose start is queued
    std::atomic<std::uint32_t> m_dwLastFailure{0};  // command << 8 | status | 0x10000, 0 for none
    std::atomic<std::uint64_t> m_nAnsweredSeen{0};  // the stall watch's count of answers
    std::atomic<std::int32_t> m_nFirmwareSent{-1};
    std::atomic<bool> m_bRereadWanted{false};       // the update thread asks the device for its versions

    mutable std::mutex m_FailureLock;
    CUpdateFailure m_Failure;

    std::mutex m_ReplyLock;
    bool m_bInReply = false;
    std::vector<std::function<void()>> m_AfterReply;

    CLockObject m_StageLock;
    std::list<std::int32_t> m_StageRequests;
    CEventObject m_StageEvent{nullptr, false, false};
    CEventObject m_PauseEnd{nullptr, true, false};
    std::atomic<bool> m_bStop{false};
    std::thread m_Thread;
};
