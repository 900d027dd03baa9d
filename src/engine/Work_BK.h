#pragma once
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "DealMsg.h"
#include "EventObject.h"
#include "NotifyWindow.h"
#include "PortFinding.h"
#include "RawString.h"
#include "Serial.h"
#include "SerialObject.h"
#include "Stages.h"
#include "UpdateFailure.h"
#include "UpdateImages.h"
#include "UpdatePlan.h"
#include "UpdateProtocol.h"

// What the front ends start the worker with: COM1 to COM49 first, and the
// device's line rate.
inline constexpr std::uint32_t kSearchPortBound = 50;
inline constexpr std::uint32_t kLineBaud = 256000;

// Times and choices of the worker. The defaults are what ships; tests and
// the benchmarks shorten or change them.
struct CWorkSettings {
    std::uint32_t dwTaskWait = 5000;       // a settings read unanswered this long is given up
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

// The worker: the program around the update protocol (CUpdateProtocol). It
// owns the serial port and its read thread, the search for the device on
// its own thread, the update images and the decoder of the device's frames,
// feeds the protocol what happens (each frame, each write, the time, the
// port's loss, the front end's requests) and carries out what it answers at
// once, on the thread that fed it: the frame that an answer lets go is
// written on the read thread, a start's first frame on the front end's. The
// front ends own one worker each and hand it on by reference.
//
// Threads and what they may call:
// - The front end's thread (the window's GUI thread, iap-cli's main):
//   SetWorkSettings and SetNotifyWnd before StartWork; StartWork, Reset;
//   StartUpdate, HandOverMenu, SetUpdateFolder; the queries.
// - The search thread (started by StartWork, joined by Reset): probes the
//   ports, loads the images, connects the protocol and waits for its answer.
// - The serial read thread (the port's): OnReceive, OnTick, OnPortLost.
// Every notification goes to the window from the thread that fed the
// protocol, with no lock of this object held; the window may read the
// queries meanwhile.
//
// Locks, each guarding only its own fields and never held while calling out
// of this object (the port's write, a notification, the trace):
// m_CoreLock (the protocol: taken for each thing fed to it and each query;
// the images' own lock is taken inside it while the protocol reads a
// frame); m_FolderLock (the update folder and whether the images are
// wanted; the images' own lock inside it while they are read); m_DataLock
// (the search's findings and the port's path).
//
// Pointers handed in: the notification window (SetNotifyWnd) is the
// caller's and must outlive every worker thread that may send to it, that
// is until Reset has returned and the worker is destroyed or given another
// window.
class CWork_BK : public CSerialObject {
public:
    CWork_BK();
    ~CWork_BK() override;
    CWork_BK(const CWork_BK&) = delete;
    CWork_BK& operator=(const CWork_BK&) = delete;

    void SetWorkSettings(const CWorkSettings& ASettings);
    const CWorkSettings& GetWorkSettings() const { return m_Settings; }
    void SetNotifyWnd(CNotifyWindow* pWindow);
    // Searches COM1 to COM(dwPortBound - 1), then the system's further
    // ports (up to COM255: the information request names its port in one
    // byte), at dwBaud for the device, and reads the update files from
    // strFolder (joined to the names as text).
    bool StartWork(std::uint32_t dwPortBound, std::uint32_t dwBaud, const std::wstring& strFolder);
    // Ends the search, closes the port, empties the images.
    void Reset();
    // Reads the update files from another folder from now on (empty: none,
    // and nothing is read); with a device connected they are read again at
    // once. Refused (false) while an update runs.
    bool SetUpdateFolder(const std::wstring& strFolder);

    // Starts an update and answers what happened.
    EStartResult StartUpdate();
    // What an update started now would put on the line, stage by stage,
    // and the device's restart after the firmware.
    CUpdatePlan PlanUpdate() const;
    // Hands the edited device menu over for the next update (the protocol's
    // rule: only when it differs from what the device reported and is not
    // all zeros). Answers whether it was handed over.
    bool HandOverMenu(const CSettingsBlock& AEdited);

    std::uint32_t GetProjectCount() const { return m_Images.GetCount(EImage::Project); }
    std::uint32_t GetEDogCount() const { return m_Images.GetCount(EImage::EDog); }
    std::uint32_t GetMusicCount() const { return m_Images.GetCount(EImage::Music); }
    std::uint32_t GetRadarCount() const { return m_Images.GetCount(EImage::Radar); }
    // False while the device has not reported its versions.
    bool GetDeviceVersions(std::wstring& strFirmware, std::wstring& strData, std::wstring& strRadar) const;
    // The 73-byte settings blocks; pOut holds kSettingsSize bytes.
    void GetSettingsG(std::uint8_t* pOut) const;
    void GetSettingsI(std::uint8_t* pOut) const;
    std::optional<CSettingsBlock> GetMenuToWrite() const;

    // The update's progress and outcome, as the protocol keeps them.
    std::int32_t GetCurrentStage() const;
    std::uint32_t GetDoneCount() const;
    std::int32_t GetLastResult() const;
    bool IsUpdateRunning() const;
    // Why the last update failed; EKind::None after a success, and from the
    // start of an update until it fails.
    CUpdateFailure GetFailure() const;
    // The firmware version the last update wrote, as the versions are
    // shown; empty when it wrote no firmware.
    std::wstring GetFirmwareSent() const;

    bool IsConnected() const;
    std::uint8_t GetPortNumber() const;
    // The device path of the port the device was found on; empty before.
    std::string GetPortPath() const;
    // What the last whole search met on the ports it could not connect to.
    std::vector<CPortFinding> GetSearchFindings() const;
    // How many searches have ended without a device (a window shows their
    // findings once each).
    std::uint32_t GetSearchCount() const { return m_nSearches; }
    // The frames the protocol holds waiting to be sent (a stage's data,
    // made as it goes, counts as one).
    std::size_t GetQueueLength() const;
    // The COM numbers a search probes, in order.
    std::vector<std::uint8_t> GetPortsToProbe() const;

    // CSerialObject (the read thread).
    int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) override;
    void OnTick() override;
    void OnPortLost() override;

protected:
    // Writes one frame the protocol asked for; answers whether it was
    // written. Called on the thread that fed the protocol. The benchmarks
    // watch the frames here.
    virtual bool SendData(const std::uint8_t* pBytes, std::uint32_t dwCount);

private:
    // Feeds the protocol under its lock, then carries out what it answered.
    template <class TChange>
    auto Feed(TChange Change);
    void CarryOut(std::vector<CProtocolAction> Actions);
    CMillis Now() const;
    // The protocol's times from the worker's settings.
    CProtocolTimes MakeTimes() const;

    void SearchLoop();
    bool SearchDevice();
    // Connects the protocol on the open port and waits until the device has
    // answered its information (true), or was given up, lost or the worker
    // quits (false).
    bool Connect(std::uint8_t btPort);
    void LoadImages();
    void ResetConnection();

    CWorkSettings m_Settings;
    std::atomic<CNotifyWindow*> m_pWindow{nullptr};
    const std::chrono::steady_clock::time_point m_tEpoch = std::chrono::steady_clock::now();
    CSerial m_Serial;
    CRawString m_strReceive;  // the read thread's alone
    const CDealMsg m_Deal{};
    CUpdateImages m_Images;

    mutable std::mutex m_CoreLock;
    std::condition_variable m_LinkCond;  // the protocol's link changed, or the worker quits
    CUpdateProtocol m_Core;

    std::mutex m_FolderLock;
    std::filesystem::path m_Folder;  // under m_FolderLock
    bool m_bImagesWanted = false;    // under m_FolderLock: a device is connected or being connected

    mutable std::mutex m_DataLock;
    std::vector<CPortFinding> m_SearchFindings;
    std::string m_strPortPath;

    // Set by StartWork before the search thread starts, read by it.
    std::uint32_t m_dwPortBound = 0;
    std::uint32_t m_dwBaud = 0;
    std::atomic<std::uint32_t> m_nSearches{0};
    std::atomic<bool> m_bQuit{false};
    CEventObject m_SearchEvent{nullptr, false, false};
    CEventObject m_QuitEvent{nullptr, true, false};
    std::thread m_SearchThread;
};
