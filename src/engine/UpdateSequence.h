#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "CommandQueue.h"
#include "EventObject.h"
#include "LockObject.h"
#include "NotifyWindow.h"
#include "Stages.h"
#include "UpdateFailure.h"
#include "UpdateImages.h"

// What the update sequence needs of its owner besides the queue and the
// images: the device menu an update writes, and the device asked again
// what it is once an update succeeded.
class CSequenceHost {
public:
    virtual ~CSequenceHost() = default;
    // The menu to write as the last stage; none when it was not changed.
    virtual std::optional<CSettingsBlock> GetMenuToWrite() const = 0;
    // After a successful update, on the update thread, which may wait.
    virtual void RereadDevice() = 0;
    // The device answered the menu's write: the menu handed over is now the
    // device's own. On the thread that dispatched the answer.
    virtual void OnMenuWritten() {}
};

// Times the sequence keeps to.
struct CSequenceTimes {
    std::uint32_t dwFirmwarePause = 10000; // the device's restart after its firmware
    std::uint32_t dwStallTimeout = 30000;  // an update without progress this long has failed
};

// The update sequence: starts an update with its first stage that has work,
// lets the update thread queue each stage's frames, counts what the device
// answers, ends stages and starts the next, pauses after the firmware while
// the device restarts, and turns a stage that stalls, a lost device or a
// damaged file into the failure results. It owns the update's progress (the
// stage, its total, the units answered, the last result) and tells the
// window about it. It reaches the device only through the queue.
//
// Threads:
// - Start: the thread that starts an update (the window's).
// - OnGoAhead, OnStartAccepted, OnBlockAnswer, OnEndAnswered,
//   BeginReply/EndReply: the serial read thread, from the reply dispatcher.
// - OnEndWritten: whichever thread writes an end command (the read thread
//   when an answer let it go, else the task manager's thread).
// - Fail: the read thread when the device is lost.
// - The update thread (Run to Stop) queues the stages' frames, watches for
//   a stall and has the device read again after a success.
// - SetNotifyWnd, SetTimes: before Run. The queries: any thread.
//
// Locks, each guarding only its own fields and never held while calling
// out: m_StageLock (the stage requests), m_ReplyLock (the reply state and
// the stage ends waiting for it), m_FailureLock (the failure record).
// Pointers: the queue, the images and the host are the owner's and outlive
// the sequence; so does the notification window (SetNotifyWnd), until the
// update thread has stopped.
class CUpdateSequence {
public:
    CUpdateSequence(CCommandQueue& AQueue, const CUpdateImages& AImages, CSequenceHost& AHost);
    ~CUpdateSequence();
    CUpdateSequence(const CUpdateSequence&) = delete;
    CUpdateSequence& operator=(const CUpdateSequence&) = delete;

    void SetNotifyWnd(CNotifyWindow* pWindow) { m_pWindow = pWindow; }
    void SetTimes(const CSequenceTimes& ATimes) { m_Times = ATimes; }
    const CSequenceTimes& GetTimes() const { return m_Times; }

    // Starts and stops the update thread (the worker's StartWork and destructor).
    void Run();
    void Stop();
    // Ends the firmware restart pause at once: the worker is shutting down.
    void Interrupt();
    void Resume();

    // Refuses a damaged file with its failure results, else queues the
    // first stage's start command; answers whether one was queued.
    bool Start();

    // What the device answered, from the reply dispatcher.
    void OnGoAhead(const CStage& AStage);
    void OnStartAccepted();
    void OnBlockAnswer(const CStage& AStage, std::uint8_t btAnswered, std::uint8_t btStatus, bool bWritten);
    void OnEndAnswered(const CStage& AStage, std::uint8_t btAnswered);
    // An end command of a stage that ends when written has been written (or
    // failed to be).
    void OnEndWritten(std::uint8_t btEndCommand, bool bWritten);
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
    // The stage last started or ended (6: the whole update); 0 before any.
    std::int32_t GetCurrentStage() const { return m_nCurrentStage; }
    // The current stage's units the device answered as done, as the window
    // is shown them (none without a window); a stage of blocks is a success
    // only when they meet its total, window or not.
    std::uint32_t GetDoneCount() const { return m_pWindow != nullptr ? m_dwAnsweredUnits.load() : 0; }
    std::int32_t GetLastResult() const { return m_nLastResult; }
    // The firmware version the last update sent in its start command, or
    // -1 when it wrote no firmware.
    std::int32_t GetFirmwareSent() const { return m_nFirmwareSent; }
    CUpdateFailure GetFailure() const;

private:
    bool HasWork(const CStage& AStage) const;
    void SetStage(std::int32_t nStage);
    void NotifyStageStart();
    void NotifyProgress();
    void NotifyStageResult(std::int32_t nResult);
    // The failure results: the stage's, then the whole update's.
    void NotifyFailed(std::int32_t nStage);
    void Finish();
    void OnProjectEnded();
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

    CCommandQueue& m_Queue;
    const CUpdateImages& m_Images;
    CSequenceHost& m_Host;
    CSequenceTimes m_Times;
    std::atomic<CNotifyWindow*> m_pWindow{nullptr};

    // The progress: written by the thread that notifies it, read by the
    // window while that thread waits for it.
    std::atomic<std::int32_t> m_nCurrentStage{0};
    std::atomic<std::uint32_t> m_dwStageTotal{0};
    std::atomic<std::uint32_t> m_dwAnsweredUnits{0};
    std::atomic<std::int32_t> m_nLastResult{0};

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
