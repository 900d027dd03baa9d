#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "CommandQueue.h"
#include "DealMsg.h"
#include "EventObject.h"
#include "FrameCutter.h"
#include "NotifyWindow.h"
#include "Packet_ISP.h"
#include "PortFinding.h"
#include "RawString.h"
#include "ReplyListener.h"
#include "Serial.h"
#include "SerialObject.h"
#include "Stages.h"
#include "TaskManager.h"
#include "UpdateFailure.h"
#include "UpdateImages.h"
#include "UpdatePlan.h"
#include "UpdateSequence.h"

// What the front ends start the worker with: COM1 to COM49 first, and the
// device's line rate.
inline constexpr std::uint32_t kSearchPortBound = 50;
inline constexpr std::uint32_t kLineBaud = 256000;

// Times and choices of the worker. The defaults are what ships; tests and
// the benchmarks shorten or change them.
struct CWorkSettings {
    std::uint32_t dwTaskWait = 5000;       // wait for an answer before the queue's time-out rule
    std::uint32_t dwFirmwarePause = 10000; // the device's restart after its firmware
    std::uint32_t dwStallTimeout = 30000;  // an update without progress this long has failed
    std::uint32_t dwSearchRetry = 2000;    // pause between two searches that found nothing
    std::uint32_t dwInfoWait = 1000;       // wait for the device's information before asking again
    std::uint32_t dwInfoTries = 5;         // information requests in all before the port is given up
    bool bSearchOnce = false;              // give up after one search
    bool bPollingReads = false;            // read like a plain polling reader (benchmarks)
    // Probe these COM numbers alone (iap-cli --port); empty: COM1 to the
    // port bound, then the further ports the system has.
    std::vector<std::uint8_t> Ports;
};

// The worker: finds the device and keeps the connection to it (the serial
// port, the search thread, the device's versions and settings blocks), and
// wires the parts of an update together: it is the send queue (the task
// manager) they queue onto, it owns the reply dispatcher (CDealMsg), whose
// decoded answers it takes and hands the stage ones to the update sequence
// (CUpdateSequence), which runs the updates from the update images
// (CUpdateImages). There is one, reached through Singleton<CWork_BK>.
//
// Threads and what they may call:
// - The front end's thread (the window's GUI thread, iap-cli's main):
//   SetWorkSettings and SetNotifyWnd before StartWork; StartWork, Reset;
//   StartUpdate, SetUpdateFolder; HandOverMenu, the Get/Set of the
//   settings blocks and of the write-settings flag, the counts and queries.
// - The port-search thread (started by StartWork, joined by Reset): probes
//   the ports, loads the images, waits for the device's information.
// - The serial read thread (the port's): OnReceive, which runs the reply
//   dispatcher and through it the listener's operations; OnPortLost.
// - The task manager's thread: SendTask/SendData for frames queued onto an
//   empty queue, and OnTimeout.
// - The update thread (the sequence's): the stages' frames, the stall
//   watch, RereadDevice.
// Every notification goes to the window from the thread that raised it,
// with no lock of this object held.
//
// Locks, each guarding only its own fields, taken one at a time except
// where said: m_FolderLock (the update folder and whether the images are
// wanted; the images' own lock is taken inside it while they are read);
// m_DataLock (settings blocks, the write-settings flag, device versions,
// search findings); m_ReadyLock (the connection's ready state); the task
// manager's queue lock; the sequence's and the images' own.
//
// Pointers handed in: the notification window (SetNotifyWnd) is the
// caller's and must outlive every worker thread that may send to it, that
// is until Reset has returned and the worker is destroyed or given another
// window; the serial port's owner is this worker itself.
class CWork_BK : public CSerialObject,
                 public CTaskManager<CPacket_ISP, CWork_BK>,
                 public CCommandQueue,
                 public CReplyListener,
                 public CSequenceHost {
public:
    CWork_BK();
    ~CWork_BK() override;

    void SetWorkSettings(const CWorkSettings& ASettings);
    const CWorkSettings& GetWorkSettings() const { return m_Settings; }
    void SetNotifyWnd(CNotifyWindow* pWindow);
    // Searches COM1 to COM(dwPortBound - 1), then the system's further
    // ports (up to COM255: the information request names its port in one
    // byte), at dwBaud for the device, and reads the update files from
    // strFolder (joined to the names as text).
    bool StartWork(std::uint32_t dwPortBound, std::uint32_t dwBaud, const std::wstring& strFolder);
    // Ends the search, closes the port, empties the images, stops the queue.
    void Reset();
    // Reads the update files from another folder from now on (empty: none,
    // and nothing is read); with a device connected they are read again at
    // once. Refused (false) while an update runs. The front end's thread.
    bool SetUpdateFolder(const std::wstring& strFolder);

    // Answers whether a first command was queued.
    bool StartUpdate() { return m_Sequence.Start(); }
    // What an update started now would put on the line, stage by stage,
    // and the device's restart after the firmware.
    CUpdatePlan PlanUpdate() const;
    // Hands the edited device menu over for the next update: only when it
    // differs from block G (what the device reported) and is not all zeros
    // (nothing was read or edited). Answers whether it was handed over.
    // From then until an update has written it (or another device is
    // connected) no settings answer replaces it: an answer to a read asked
    // before the hand-over (the device read again after an update, a late
    // one) would otherwise put the device's old menu in place of the
    // driver's, and that would be written and called a success.
    bool HandOverMenu(const CSettingsBlock& AEdited);

    std::uint32_t GetProjectCount() const { return m_Images.GetCount(EImage::Project); }
    std::uint32_t GetEDogCount() const { return m_Images.GetCount(EImage::EDog); }
    std::uint32_t GetMusicCount() const { return m_Images.GetCount(EImage::Music); }
    std::uint32_t GetRadarCount() const { return m_Images.GetCount(EImage::Radar); }
    bool GetDeviceVersions(std::wstring& strFirmware, std::wstring& strData, std::wstring& strRadar) const;
    void SetDeviceVersions(const std::wstring& strFirmware, const std::wstring& strData,
                           const std::wstring& strRadar);

    // The 73-byte settings blocks; pOut and pIn hold kSettingsSize bytes.
    void GetSettingsG(std::uint8_t* pOut) const { CopyBlock(m_SettingsG.data(), pOut); }
    void GetSettingsI(std::uint8_t* pOut) const { CopyBlock(m_SettingsI.data(), pOut); }
    void SetSettingsG(const std::uint8_t* pIn) { CopyBlock(pIn, m_SettingsG.data()); }
    void SetSettingsI(const std::uint8_t* pIn) { CopyBlock(pIn, m_SettingsI.data()); }
    void SetWriteSettings(std::int32_t nFlag) { m_nWriteSettings = nFlag; }
    std::int32_t GetWriteSettings() const { return m_nWriteSettings; }

    // The update's progress and outcome, as the update sequence keeps them.
    std::int32_t GetCurrentStage() const { return m_Sequence.GetCurrentStage(); }
    std::uint32_t GetDoneCount() const { return m_Sequence.GetDoneCount(); }
    std::int32_t GetLastResult() const { return m_Sequence.GetLastResult(); }
    bool IsSequenceOpen() const { return m_Sequence.IsOpen(); }
    bool IsUpdateRunning() const { return m_Sequence.IsRunning(); }
    // Why the last update failed; EKind::None after a success, and from the
    // start of an update until it fails.
    CUpdateFailure GetFailure() const { return m_Sequence.GetFailure(); }
    // The firmware version the last update wrote, as the versions are
    // shown; empty when it wrote no firmware.
    std::wstring GetFirmwareSent() const;

    bool IsConnected() const { return m_Serial.IsOpen(); }
    std::uint8_t GetPortNumber() const { return m_btPort; }
    // The device path of the port the device was found on; empty before.
    std::string GetPortPath() const;
    // What the last whole search met on the ports it could not connect to.
    std::vector<CPortFinding> GetSearchFindings() const;
    // How many whole searches have ended since the worker was made, found
    // or not: it changes when GetSearchFindings may have.
    std::uint32_t GetSearchCount() const { return m_dwSearchCount; }
    // The COM numbers a search probes, in order.
    std::vector<std::uint8_t> GetPortsToProbe() const;

    // One frame from the device, as the read thread hands each on.
    void DispatchFrame(const CRawString& strFrame);

    // CSerialObject
    int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) override;
    void OnPortOpened(std::uint8_t btPort) override;
    void OnPortLost() override;

    // CTaskManager
    int SendData(const std::uint8_t* pBytes, std::uint32_t dwCount) override;
    int SendTask(CPacket_ISP& APacket, std::uint32_t dwTriesUsed) override;
    bool OnTimeout(CPacket_ISP& APacket) override;

    // CCommandQueue: the task manager's queue.
    void QueueFrame(std::uint8_t btCommand, std::span<const std::uint8_t> Payload) override;
    void TakeAnswer(std::uint8_t btCommand) override { OnAnswer(btCommand); }
    void DropAll() override { ClearTasks(); }
    std::uint8_t GetInFlight() override { return GetFrontCommand(); }
    std::uint64_t GetAnswerCount() override { return GetAnsweredCount(); }

    // CReplyListener: the connection's answers here, the stages' to the sequence.
    void OnDeviceInfo(std::uint8_t btPort, const std::array<std::wstring, 3>& Versions) override;
    void OnSettingsBlock(std::uint8_t btRead, std::span<const std::uint8_t, kSettingsSize> Block) override;
    void OnSettingsRefused(std::uint8_t btRead) override { OnAnswer(btRead); }
    void OnDeviceRequest() override;
    void OnGoAhead(const CStage& AStage) override { m_Sequence.OnGoAhead(AStage); }
    void OnStartAccepted(const CStage&) override { m_Sequence.OnStartAccepted(); }
    void OnBlockAnswer(const CStage& AStage, std::uint8_t btAnswered, std::uint8_t btStatus, bool bWritten) override
    {
        m_Sequence.OnBlockAnswer(AStage, btAnswered, btStatus, bWritten);
    }
    void OnEndAnswered(const CStage& AStage, std::uint8_t btAnswered) override
    {
        m_Sequence.OnEndAnswered(AStage, btAnswered);
    }

    // CSequenceHost
    std::optional<CSettingsBlock> GetMenuToWrite() const override;
    void OnMenuWritten() override;
    // After a successful update: asks the device for its versions again
    // (as at connection: again when the answer is lost, a bounded number of
    // times), then WM_DEVICE_REREAD.
    void RereadDevice() override;

private:
    void SearchLoop();
    bool SearchDevice();
    bool AwaitDeviceInfo(std::uint8_t btPort, std::chrono::steady_clock::time_point tAsked);
    // Asks the device for its information until it answers (a count of
    // answers other than nBefore) or the tries run out; false then.
    bool AskDeviceInfo(std::uint8_t btPort, std::uint64_t nBefore, std::chrono::steady_clock::time_point tAsked,
                       const wchar_t* wzWhen);
    void LoadImages();
    void ResetConnection();
    // The device is ready once its images are loaded and its information
    // came, in either order: whichever comes second announces it, once.
    void MarkReady(bool bImagesLoaded, bool bInfoSeen);
    void Notify(std::uint32_t uMessage, std::uintptr_t wParam = 0);
    // One settings block from or to the caller, under m_DataLock.
    void CopyBlock(const std::uint8_t* pFrom, std::uint8_t* pTo) const;

    CWorkSettings m_Settings;
    std::atomic<CNotifyWindow*> m_pWindow{nullptr};
    CSerial m_Serial;
    CFrameCutter m_Cutter;  // the read thread's alone
    CDealMsg m_Deal;
    CUpdateImages m_Images;
    std::mutex m_FolderLock;
    std::filesystem::path m_Folder;  // under m_FolderLock
    bool m_bImagesWanted = false;    // under m_FolderLock: a device is connected or being connected

    mutable std::mutex m_DataLock;
    CSettingsBlock m_SettingsG{};
    CSettingsBlock m_SettingsI{};
    bool m_bMenuHeld = false;  // block G is a menu handed over and not yet written
    std::array<std::wstring, 3> m_strDeviceVersions;
    std::vector<CPortFinding> m_SearchFindings;
    std::string m_strPortPath;  // the port the device was found on
    std::atomic<std::uint32_t> m_dwSearchCount{0};  // counted after m_SearchFindings is stored
    std::atomic<std::int32_t> m_nWriteSettings{0};

    // Set by StartWork before the search thread starts, read by it.
    std::uint32_t m_dwPortBound = 0;
    std::uint32_t m_dwBaud = 0;
    std::atomic<std::uint8_t> m_btPort{0};

    // Connection state shared by the search and the read thread.
    std::mutex m_ReadyLock;
    std::condition_variable m_ReadyCond;  // the information came, or the worker quits
    bool m_bImagesLoaded = false;
    bool m_bInfoSeen = false;
    bool m_bReadySent = false;
    std::uint64_t m_nInfoAnswers = 0;  // information answers since the start

    std::atomic<bool> m_bQuit{false};
    CEventObject m_SearchEvent{nullptr, false, false};
    CEventObject m_QuitEvent{nullptr, true, false};
    std::thread m_SearchThread;
    CUpdateSequence m_Sequence{*this, m_Images, *this};
};
