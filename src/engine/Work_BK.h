#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "EventObject.h"
#include "File_EDogMusic.h"
#include "File_Project.h"
#include "File_Radar.h"
#include "LockObject.h"
#include "NotifyWindow.h"
#include "Packet_ISP.h"
#include "PortFinding.h"
#include "RawString.h"
#include "Serial.h"
#include "SerialObject.h"
#include "TaskManager.h"
#include "UpdateFailure.h"

inline constexpr std::size_t kSettingsSize = 73;
using CSettingsBlock = std::array<std::uint8_t, kSettingsSize>;

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
};

// The worker: owns the connection to the device, the four update images, the
// send queue and the threads that find the device and drive an update.
class CWork_BK : public CSerialObject, public CTaskManager<CPacket_ISP, CWork_BK> {
public:
    CWork_BK();
    ~CWork_BK() override;

    void SetWorkSettings(const CWorkSettings& ASettings);
    const CWorkSettings& GetWorkSettings() const { return m_Settings; }
    void SetNotifyWnd(CNotifyWindow* pWindow);
    bool StartWork(std::uint32_t dwPortBound, std::uint32_t dwBaud, const std::wstring& strFolder);
    void Reset();

    // Answers whether a first command was queued.
    bool StartUpdate();
    void SetStage(std::int32_t nStage);
    void RequestStage(std::int32_t nStage);

    std::uint32_t GetProjectCount() const;
    std::uint32_t GetEDogCount() const;
    std::uint32_t GetMusicCount() const;
    std::uint32_t GetRadarCount() const;
    // Number of 0x06 frames the firmware stage sends (its progress total).
    std::uint32_t GetProjectFrameCount() const { return m_dwProjectFrames; }
    bool GetDeviceVersions(std::wstring& strFirmware, std::wstring& strData, std::wstring& strRadar) const;
    void SetDeviceVersions(const std::wstring& strFirmware, const std::wstring& strData,
                           const std::wstring& strRadar);

    void GetSettingsG(std::uint8_t* pOut) const;
    void GetSettingsI(std::uint8_t* pOut) const;
    void SetSettingsG(const std::uint8_t* pIn);
    void SetSettingsI(const std::uint8_t* pIn);
    void SetWriteSettings(std::int32_t nFlag) { m_nWriteSettings = nFlag; }
    std::int32_t GetWriteSettings() const { return m_nWriteSettings; }

    void NotifyDeviceReady();
    void NotifySettingsRead();
    void NotifyStageStart();
    void NotifyProgress();
    void NotifyStageResult(std::int32_t nResult);
    void NotifyDeviceLost();

    std::int32_t GetCurrentStage() const { return m_nCurrentStage; }
    std::uint32_t GetStageTotal() const { return m_dwStageTotal; }
    std::uint32_t GetDoneCount() const { return m_dwDoneCount; }
    std::int32_t GetLastResult() const { return m_nLastResult; }
    std::int32_t GetUpdateRunning() const { return m_nUpdateRunning; }
    bool IsUpdateInProgress() const { return m_bInProgress; }
    // Whether answers may still move an update on: before the first update,
    // or while one runs. Stray go-aheads and end answers after an update has
    // ended (or failed) start nothing.
    bool IsSequenceOpen() const { return m_nUpdateRunning == 0 || m_bInProgress; }
    bool IsConnected() const { return m_Serial.IsOpen(); }
    std::uint8_t GetPortNumber() const { return m_btPort; }
    // What the last whole search met on the ports it could not connect to.
    std::vector<CPortFinding> GetSearchFindings() const;
    // Why the last update failed; EKind::None after a success, and from the
    // start of an update until it fails.
    CUpdateFailure GetFailure() const;

    // Used by the reply dispatcher and the command builders. The images may
    // be read only while LockImages is held: a lost device empties them from
    // another thread.
    std::shared_lock<std::shared_mutex> LockImages() const { return std::shared_lock(m_ImageLock); }
    const CFile_Project& GetProject() const { return m_Project; }
    const CFile_EDogMusic& GetEDog() const { return m_EDog; }
    const CFile_EDogMusic& GetMusic() const { return m_Music; }
    const CFile_Radar& GetRadar() const { return m_Radar; }
    void OnDeviceInfo();
    void OnProjectEnded();
    void NoteStatus(std::uint8_t btCommand, std::uint8_t btStatus);
    void NoteStartQueued(std::int32_t nStage);

    // CSerialObject
    int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) override;
    void OnPortOpened(std::uint8_t btPort) override;
    void OnPortLost() override;

    // CTaskManager
    bool AddTask(const CPacket_ISP& APacket) override;
    int OnAnswer(std::uint8_t btCommand) override;
    int SendData(const std::uint8_t* pBytes, std::uint32_t dwCount) override;
    int SendTask(CPacket_ISP& APacket, std::uint32_t dwTriesUsed) override;
    bool OnTimeout(CPacket_ISP& APacket) override;

private:
    void SearchLoop();
    bool SearchDevice();
    void NoteFinding(std::uint8_t btPort, std::vector<CPortFinding>& Findings) const;
    bool AwaitDeviceInfo(std::uint8_t btPort, std::chrono::steady_clock::time_point tAsked);
    void LoadImages();
    void ResetConnection();
    void UpdateLoop();
    void RunStage(std::int32_t nStage);
    void StartAfterStage(std::int32_t nEnded);
    void Finish();
    void FailUpdate(CUpdateFailure::EKind eKind, const wchar_t* wzWhy);
    void EndStage(std::uint8_t btEndCommand, bool bWritten);
    // A stage end raised while a reply is being dispatched runs once that
    // reply's own notifications are out, on the dispatching thread; any
    // other runs at once.
    void RunAfterReply(std::function<void()> Action);
    void BeginReply();
    void EndReply();
    void CheckStall();
    void MarkActivity();
    bool RefuseDamaged();
    std::uint32_t CountProjectFrames() const;

    CWorkSettings m_Settings;
    std::atomic<CNotifyWindow*> m_pWindow{nullptr};
    CSerial m_Serial;
    CRawString m_strReceive;
    CFile_Project m_Project;
    CFile_EDogMusic m_EDog;
    CFile_EDogMusic m_Music;
    CFile_Radar m_Radar;
    // Readers (packetizers, counts) share it; loading and emptying take it
    // alone. Holders may queue packets: the queue never calls back into here
    // while it holds its own lock.
    mutable std::shared_mutex m_ImageLock;

    mutable std::mutex m_DataLock;  // settings blocks, device versions, search problem, failure
    CSettingsBlock m_SettingsG{};
    CSettingsBlock m_SettingsI{};
    std::wstring m_strDeviceVersions[3];
    std::vector<CPortFinding> m_SearchFindings;
    CUpdateFailure m_Failure;

    // An answer sends the next queued frame on the answering thread, so an
    // end command may be written, and its stage ended, in the middle of the
    // reply that answered the stage's last block. The stage end waits until
    // that reply has notified its progress: the window sees every progress
    // of a stage before its result. Guards only the two fields below; no
    // call out is made while it is held.
    std::mutex m_ReplyLock;
    bool m_bInReply = false;
    std::vector<std::function<void()>> m_AfterReply;

    std::atomic<std::int32_t> m_nWriteSettings{0};
    std::atomic<std::int32_t> m_nCurrentStage{0};
    std::atomic<std::uint32_t> m_dwStageTotal{0};
    std::atomic<std::uint32_t> m_dwDoneCount{0};
    std::atomic<std::int32_t> m_nLastResult{0};
    std::atomic<std::int32_t> m_nUpdateRunning{0};
    std::atomic<std::uint32_t> m_dwProjectFrames{0};

    std::uint32_t m_dwPortBound = 0;
    std::uint32_t m_dwBaud = 0;
    std::filesystem::path m_Folder;
    std::atomic<std::uint8_t> m_btPort{0};

    // Connection state shared by the search and the read thread.
    std::mutex m_ReadyLock;
    std::condition_variable m_ReadyCond;  // the information came, or the worker quits
    bool m_bImagesLoaded = false;
    bool m_bInfoSeen = false;
    bool m_bReadySent = false;

    // Watch over a running update: progress, the stage whose start is queued,
    // the last failing status the device answered.
    std::atomic<bool> m_bInProgress{false};
    std::atomic<bool> m_bPaused{false};
    std::atomic<std::uint32_t> m_dwLastActivity{0};
    std::atomic<std::int32_t> m_nPendingStage{0};
    std::atomic<std::uint32_t> m_dwLastFailure{0};  // command << 8 | status, 0 for none
    // Set by StartUpdate on the caller's thread, read and moved on by the
    // update thread's stall watch.
    std::atomic<std::uint64_t> m_nAnsweredSeen{0};

    std::atomic<std::int32_t> m_nStop{0};
    std::atomic<bool> m_bQuit{false};
    CLockObject m_StageLock;
    CEventObject m_StageEvent{nullptr, false, false};
    CEventObject m_SearchEvent{nullptr, false, false};
    CEventObject m_QuitEvent{nullptr, true, false};
    std::list<std::int32_t> m_StageRequests;
    std::thread m_UpdateThread;
    std::thread m_SearchThread;
};
