#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "DealMsg.h"
#include "ImageSource.h"
#include "Stages.h"
#include "UpdateFailure.h"

// A moment, as the program around the protocol counts it: milliseconds from
// any start it likes. The protocol reads no clock; it is told the time.
using CMillis = std::chrono::milliseconds;

// The times the protocol keeps to. The defaults are what ships; tests and
// the benchmarks shorten them.
struct CProtocolTimes {
    CMillis tTaskWait{5000};       // a settings read unanswered this long is given up
    CMillis tFirmwarePause{10000}; // the device's restart after its firmware
    CMillis tStallTimeout{30000};  // an update without an answer this long has failed
    CMillis tInfoWait{1000};       // the device's information awaited before it is asked again
    std::uint32_t nInfoTries = 5;  // information requests in all before the device is given up
};

// One thing the protocol asks its program to do, in the order asked.
struct CProtocolAction {
    enum class EKind {
        Write,  // write Frame to the port, then tell OnWritten how it went
        Notify, // tell the window uMessage (the notifications of NotifyWindow.h)
        Trace,  // write strText to the trace
    };
    EKind eKind = EKind::Write;
    std::vector<std::uint8_t> Frame;
    std::uint32_t uMessage = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::wstring strText;
};

// What a request to start an update did.
enum class EStartResult {
    Started,      // the first stage's start command is on its way
    NothingToDo,  // no image has anything to send, and no menu is to be written
    Refused,      // a damaged file: nothing was sent, the failure was notified (GetFailure)
    NotConnected, // no device is connected and ready
    Running,      // an update runs already
};

// The conversation with the device, as a value: connecting (the device's
// information, asked again when its answer is lost, then its two settings
// blocks), the send queue's rules (one frame in flight, which answer frees
// which frame, a settings read given up after the queue's wait), and the
// update itself (each stage's start, go-ahead, data frames taken from the
// images one at a time, end and result; the firmware's restart pause; a
// stage that stalls, a device lost, a damaged file, a write that failed; the
// device read again after a success). It is fed what happened, with the
// time, and answers what to do: frames to write, notifications for the
// window and trace lines, in order (TakeActions), and when it must next be
// told the time (GetWakeUp). It has no thread, lock or clock and does no
// I/O, so every rule can be tested as a table of what happens and what it
// answers.
//
// Threads: none of its own. One caller at a time (its program holds one lock
// around every call and carries the answers out after releasing it).
// Pointers: the images are the program's and outlive the protocol.
class CUpdateProtocol {
public:
    // The connection, as the protocol sees it.
    enum class ELink {
        Closed,  // no port open
        Asking,  // a port is open and the device's information asked for
        Ready,   // the device answered: updates may start
        GaveUp,  // asked as often as allowed without an answer: the port is to be closed
        Lost,    // the device is gone
    };

    CUpdateProtocol(const CImageSource& AImages, CProtocolTimes ATimes);

    void SetTimes(const CProtocolTimes& ATimes) { m_Times = ATimes; }
    const CProtocolTimes& GetTimes() const { return m_Times; }

    // What happened.
    // The port to COM<btPort> is open and the device answered its probe:
    // its information is asked for.
    void Connect(std::uint8_t btPort, CMillis tNow);
    // The program closed the port: everything of the connection is
    // forgotten; an update that ran ends without notifications.
    void Disconnect();
    // One frame from the device, decoded.
    void OnReply(const CReply& AReply, CMillis tNow);
    // A frame it asked to be written was written, or could not be.
    void OnWritten(std::uint8_t btCommand, bool bWritten, CMillis tNow);
    // The device is gone (unplugged, its driver stopped).
    void OnPortLost(CMillis tNow);
    // The time now; its deadlines that have passed take effect.
    void OnTime(CMillis tNow);
    EStartResult StartUpdate(CMillis tNow);
    // Hands the edited device menu over for the next update: only when it
    // differs from block G (what the device reported) and is not all zeros
    // (nothing was read or edited). From then until an update has written
    // it, or another device is connected, no settings answer replaces it:
    // an answer to a read asked before the hand-over would put the device's
    // old menu in place of the driver's, and that would be written and
    // called a success.
    bool HandOverMenu(const CSettingsBlock& AEdited);

    // What to do, in order; the list is then empty.
    std::vector<CProtocolAction> TakeActions();
    // When the protocol must next be told the time; none when nothing waits.
    std::optional<CMillis> GetWakeUp() const;

    // What it knows.
    ELink GetLink() const { return m_eLink; }
    std::uint8_t GetPort() const { return m_btPort; }
    // The device's versions (firmware, camera database, radar); empty texts
    // until it reported them.
    const std::array<std::wstring, 3>& GetVersions() const { return m_Versions; }
    const CSettingsBlock& GetSettingsG() const { return m_SettingsG; }
    const CSettingsBlock& GetSettingsI() const { return m_SettingsI; }
    // The menu the next update writes; none when none was handed over.
    std::optional<CSettingsBlock> GetMenuToWrite() const;
    bool IsRunning() const { return m_bRunning; }
    // The stage last started or ended (6: the whole update); 0 before any.
    std::int32_t GetCurrentStage() const { return m_nStage; }
    std::uint32_t GetStageTotal() const { return m_dwTotal; }
    std::uint32_t GetDoneCount() const { return m_dwDone; }
    std::int32_t GetLastResult() const { return m_nLastResult; }
    // Why the last update failed; EKind::None after a success.
    const CUpdateFailure& GetFailure() const { return m_Failure; }
    // The firmware version the last update sent, or -1 when it wrote none.
    std::int32_t GetFirmwareSent() const { return m_nFirmwareSent; }
    // The command of the frame in flight; 0 when none is.
    std::uint8_t GetInFlight() const { return m_InFlight ? m_InFlight->btCommand : 0; }
    // The frames held waiting behind it (a stage's data, made as it goes,
    // counts as one): what the send queue costs in memory.
    std::size_t GetQueueLength() const { return m_Queue.size(); }

private:
    // What a frame in flight is to its sender.
    enum class ERole { Generic, Ack, Start, Data, End };
    struct CQueued {
        std::uint8_t btCommand = 0;
        CPayload Payload;
        ERole eRole = ERole::Generic;
        bool bStageRun = false; // stands for the running stage's data frames and end, made as they go
    };
    struct CInFlight {
        std::uint8_t btCommand = 0;
        ERole eRole = ERole::Generic;
        CMillis tSent{0};
    };
    // Why the device's information is being asked for.
    enum class EAsking { None, Connection, Reread };

    // The send queue.
    void Queue(std::uint8_t btCommand, CPayload Payload = {}, ERole eRole = ERole::Generic);
    void SendNext();
    void Send(std::uint8_t btCommand, const CPayload& Payload, ERole eRole);
    // Frees the frame in flight when it is one of btCommand.
    bool TakeAnswer(std::uint8_t btCommand);
    void DropAll();
    std::size_t CountWaiting() const;

    // The connection.
    void AskInfo(EAsking eWhy);
    void OnInfoDue();
    void OnDeviceInfo(const CReply& AReply);
    void OnSettings(const CReply& AReply);
    void OnDeviceRequest();

    // The update.
    bool HasWork(const CStage& AStage) const;
    bool RefuseDamaged();
    void QueueStart(const CStage& AStage);
    void StartAfter(std::int32_t nEnded);
    void Finish();
    void Fail(CUpdateFailure::EKind eKind, const wchar_t* wzWhy);
    void OnGoAhead(const CStage& AStage);
    void OnBlockAnswer(const CReply& AReply);
    void OnEndAnswered(const CReply& AReply);
    void OnStageWritten(const CStage& AStage);
    void SetStage(std::int32_t nStage);

    // The answers.
    void Notify(std::uint32_t uMessage, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    void NotifyStageResult(std::int32_t nResult);
    void NotifyFailed(std::int32_t nStage);
    void Trace(std::wstring strText);

    const CImageSource& m_Images;
    CProtocolTimes m_Times;
    CMillis m_tNow{0};
    std::vector<CProtocolAction> m_Actions;

    // The connection.
    ELink m_eLink = ELink::Closed;
    std::uint8_t m_btPort = 0;
    EAsking m_eAsking = EAsking::None;
    std::uint32_t m_nInfoAsked = 0;
    CMillis m_tInfoDue{0};
    std::array<std::wstring, 3> m_Versions;
    CSettingsBlock m_SettingsG{};
    CSettingsBlock m_SettingsI{};
    bool m_bMenuHeld = false;      // block G is a menu handed over and not yet written
    bool m_bWriteSettings = false; // a menu was handed over: every update writes block G

    // The send queue: one frame in flight.
    std::deque<CQueued> m_Queue;
    std::optional<CInFlight> m_InFlight;

    // The update.
    bool m_bRunning = false;
    std::int32_t m_nStage = 0;
    std::int32_t m_nPendingStage = 0; // the stage whose start was queued last
    bool m_bStageEnded = false;
    std::uint32_t m_dwTotal = 0;
    std::uint32_t m_dwDone = 0;
    std::int32_t m_nLastResult = 0;
    std::uint32_t m_nNextData = 0;    // the running stage's next data frame
    std::optional<CMillis> m_PauseUntil;
    CMillis m_tLastActivity{0};
    std::optional<std::uint16_t> m_LastFailure; // command << 8 | status of the last failing answer
    std::int32_t m_nFirmwareSent = -1;
    CUpdateFailure m_Failure;
};
