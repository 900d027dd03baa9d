#include "Work_BK.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "Command.h"
#include "DealMsg.h"
#include "DebugPrint.h"
#include "Frame.h"
#include "TextCodec.h"
#include "Tick.h"

namespace {

constexpr std::int32_t kLineLengths[4] = {17, 45, 21, 13};

CDealMsg* Deal() { return Singleton<CDealMsg>::GetInstance(); }

} // namespace

CWork_BK::CWork_BK()
    : m_Serial(nullptr, 10),
      m_Project(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3]),
      m_EDog(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3]),
      m_Music(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3]),
      m_Radar(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3])
{
}

CWork_BK::~CWork_BK()
{
    Reset();
    m_nStop = 1;
    m_StageEvent.Set();
    if (m_UpdateThread.joinable())
        m_UpdateThread.join();
    CTaskManager::Stop();
}

void CWork_BK::SetWorkSettings(const CWorkSettings& ASettings)
{
    m_Settings = ASettings;
    SetWaitTime(ASettings.dwTaskWait);
    m_Serial.SetPollingPause(ASettings.bPollingReads);
}

void CWork_BK::SetNotifyWnd(CNotifyWindow* pWindow) { m_pWindow = pWindow; }

bool CWork_BK::StartWork(std::uint32_t dwPortBound, std::uint32_t dwBaud, const std::wstring& strFolder)
{
    m_dwPortBound = dwPortBound;
    m_dwBaud = dwBaud;
    // The folder is joined to the file names as text: a folder without its
    // trailing separator names files beside it.
    m_Folder = PathFromWide(strFolder);
    if (!m_SearchThread.joinable()) {
        m_bQuit = false;
        m_QuitEvent.Reset();
        m_SearchThread = std::thread([this] { SearchLoop(); });
    } else {
        m_SearchEvent.Set();
    }
    m_nStop = 0;
    if (!m_UpdateThread.joinable())
        m_UpdateThread = std::thread([this] { UpdateLoop(); });
    return true;
}

void CWork_BK::Reset()
{
    {
        // Under the lock, so that a search waiting for the device's
        // information cannot miss it.
        std::lock_guard<std::mutex> ALock(m_ReadyLock);
        m_bQuit = true;
    }
    m_ReadyCond.notify_all();
    m_QuitEvent.Set();
    m_SearchEvent.Set();
    if (m_SearchThread.joinable() && m_SearchThread.get_id() != std::this_thread::get_id())
        m_SearchThread.join();
    ResetConnection();
}

void CWork_BK::ResetConnection()
{
    m_Serial.Close();
    {
        std::unique_lock<std::shared_mutex> ALock(m_ImageLock);
        m_Project.ClearRecords();
        m_EDog.ClearBlocks();
        m_Music.ClearBlocks();
        m_Radar.ClearBlocks();
        m_dwProjectFrames = 0;
    }
    CTaskManager::Stop();
    std::lock_guard<std::mutex> ALock(m_ReadyLock);
    m_bImagesLoaded = m_bInfoSeen = m_bReadySent = false;
}

// ---------------------------------------------------------------- search

void CWork_BK::SearchLoop()
{
    while (!m_bQuit) {
        const bool bFound = SearchDevice();
        if (m_bQuit)
            break;
        if (!bFound) {
            if (m_Settings.bSearchOnce)
                break;
            m_QuitEvent.Wait(m_Settings.dwSearchRetry);
            continue;
        }
        // Connected: search again only when the device is lost.
        m_SearchEvent.Wait();
    }
}

bool CWork_BK::SearchDevice()
{
    ResetConnection();
    {
        // Cleared before the probe, so the device's own answer to the
        // settings read is what stays in it.
        std::lock_guard<std::mutex> ALock(m_DataLock);
        m_SettingsG.fill(0);
        for (std::wstring& str : m_strDeviceVersions)
            str.clear();
    }
    m_Serial.SetOwner(this);
    std::vector<CPortFinding> Findings;
    bool bFound = false;
    for (std::uint32_t dwPort = 1; dwPort < m_dwPortBound && !m_bQuit && !bFound; ++dwPort) {
        const auto btPort = static_cast<std::uint8_t>(dwPort);
        if (m_Serial.Open(btPort, m_dwBaud, 8, 0, 0) == 0) {
            NoteFinding(btPort, Findings);
            continue;
        }
        const auto tAsked = std::chrono::steady_clock::now();
        m_btPort = btPort;
        LoadImages();
        bool bNotify = false;
        {
            std::lock_guard<std::mutex> ALock(m_ReadyLock);
            m_bImagesLoaded = true;
            bNotify = m_bInfoSeen && !m_bReadySent;
            m_bReadySent = m_bReadySent || bNotify;
        }
        if (bNotify)
            NotifyDeviceReady();
        bFound = AwaitDeviceInfo(btPort, tAsked);
        if (!bFound && !m_bQuit) {
            Findings.push_back({CPortFinding::EKind::NoInfo, btPort, m_Serial.GetPortPath()});
            ResetConnection();
        }
    }
    // A search cut short by the end of the program keeps the last whole
    // search's findings: they tell more than half a search.
    if (!m_bQuit) {
        std::lock_guard<std::mutex> ALock(m_DataLock);
        m_SearchFindings = std::move(Findings);
    }
    if (!bFound)
        ResetConnection();
    return bFound;
}

void CWork_BK::NoteFinding(std::uint8_t btPort, std::vector<CPortFinding>& Findings) const
{
    using EKind = CPortFinding::EKind;
    CPortFinding AFinding{EKind::Silent, btPort, m_Serial.GetPortPath()};
    switch (m_Serial.GetOpenError()) {
    case CSerialBackend::EOpenError::Denied: AFinding.eKind = EKind::Denied; break;
    case CSerialBackend::EOpenError::InUse: AFinding.eKind = EKind::Busy; break;
    case CSerialBackend::EOpenError::None:
        // It opened: the probe tells what is behind it.
        switch (m_Serial.GetProbeResult()) {
        case CSerial::EProbe::TooShort: AFinding.eKind = EKind::TooShort; break;
        case CSerial::EProbe::OtherCommand:
            AFinding.eKind = EKind::Foreign;
            AFinding.btCommand = m_Serial.GetProbeCommand();
            break;
        default: break;
        }
        break;
    default: return;  // no such port, or one that is no serial port at all
    }
    if (AFinding.eKind == EKind::Denied) {
        std::wstring wstrPath;
        Utf8ToWide(AFinding.strPath, wstrPath);
        DebugPrint(L"COM%u (%ls) may not be opened: permission denied\r\n", static_cast<unsigned>(btPort),
                   wstrPath.c_str());
    }
    Findings.push_back(std::move(AFinding));
}

bool CWork_BK::AwaitDeviceInfo(std::uint8_t btPort, std::chrono::steady_clock::time_point tAsked)
{
    // The information request is a question without side effects: when its
    // answer is lost on the line, it is asked again; a device that never
    // answers it is not taken.
    for (std::uint32_t nAsked = 1;; ++nAsked) {
        {
            std::unique_lock<std::mutex> ALock(m_ReadyLock);
            const auto tUntil = tAsked + std::chrono::milliseconds(m_Settings.dwInfoWait);
            if (m_ReadyCond.wait_until(ALock, tUntil, [this] { return m_bInfoSeen || m_bQuit; }) || m_bQuit)
                return m_bInfoSeen;
            if (nAsked >= m_Settings.dwInfoTries) {
                // Given up: an answer that still comes must not announce a
                // device whose port is about to close.
                m_bImagesLoaded = false;
                break;
            }
        }
        DebugPrint(L"[Search] COM%u: no device information within %u ms; asked again (%u of %u)\r\n",
                   static_cast<unsigned>(btPort), m_Settings.dwInfoWait, nAsked + 1, m_Settings.dwInfoTries);
        RemoveFront(Cmd::InfoRequest);
        if (CDealMsg* pDeal = Deal())
            pDeal->SendInfoRequest(btPort);
        tAsked = std::chrono::steady_clock::now();
    }
    DebugPrint(L"[Search] COM%u answered the probe but sent no information to %u requests; closed, searching on\r\n",
               static_cast<unsigned>(btPort), m_Settings.dwInfoTries);
    return false;
}

void CWork_BK::LoadImages()
{
    std::unique_lock<std::shared_mutex> ALock(m_ImageLock);
    // The folder is joined to the names as text, in the path's own
    // encoding, so that any folder name the system holds works.
    const auto File = [this](const char* szName) {
        return std::filesystem::path(m_Folder.native() + std::filesystem::path(szName).native());
    };
    m_Project.Load(File("AC7811_project.hex"));
    m_EDog.Load(File("flagdata.bin"));
    m_Music.Load(File("audioHead.bin"));
    m_Radar.Load(File("rdfw.bin"));
    m_dwProjectFrames = CountProjectFrames();
}

std::uint32_t CWork_BK::CountProjectFrames() const
{
    const auto Records = m_Project.GetRecords();
    return static_cast<std::uint32_t>(std::count_if(
        Records.begin(), Records.end(), [](const CPacket_Hex& ARecord) { return ARecord.GetType() == 0; }));
}

void CWork_BK::OnPortOpened(std::uint8_t btPort)
{
    SetWaitTime(m_Settings.dwTaskWait);
    CTaskManager::Start();
    if (CDealMsg* pDeal = Deal())
        pDeal->SendInfoRequest(btPort);
}

void CWork_BK::OnDeviceInfo()
{
    bool bNotify = false;
    {
        std::lock_guard<std::mutex> ALock(m_ReadyLock);
        m_bInfoSeen = true;
        bNotify = m_bImagesLoaded && !m_bReadySent;
        m_bReadySent = m_bReadySent || bNotify;
    }
    m_ReadyCond.notify_all();
    if (bNotify)
        NotifyDeviceReady();
}

void CWork_BK::OnPortLost()
{
    DebugPrint(L"[Device] COM%d is gone\r\n", static_cast<int>(m_btPort.load()));
    if (m_bInProgress)
        FailUpdate(CUpdateFailure::EKind::Lost, L"the device was disconnected");
    NotifyDeviceLost();
    // The search thread closes the port (joining this thread), empties the
    // images and searches again.
    m_SearchEvent.Set();
}

std::vector<CPortFinding> CWork_BK::GetSearchFindings() const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    return m_SearchFindings;
}

CUpdateFailure CWork_BK::GetFailure() const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    return m_Failure;
}

// ---------------------------------------------------------------- images

std::uint32_t CWork_BK::GetProjectCount() const
{
    std::shared_lock ALock(m_ImageLock);
    return m_Project.GetRecordCount();
}

std::uint32_t CWork_BK::GetEDogCount() const
{
    std::shared_lock ALock(m_ImageLock);
    return m_EDog.GetBlockCount();
}

std::uint32_t CWork_BK::GetMusicCount() const
{
    std::shared_lock ALock(m_ImageLock);
    return m_Music.GetBlockCount();
}

std::uint32_t CWork_BK::GetRadarCount() const
{
    std::shared_lock ALock(m_ImageLock);
    return m_Radar.GetBlockCount();
}

// ---------------------------------------------------------------- settings and versions

bool CWork_BK::GetDeviceVersions(std::wstring& strFirmware, std::wstring& strData,
                                 std::wstring& strRadar) const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    for (const std::wstring& str : m_strDeviceVersions)
        if (str.empty())
            return false;
    strFirmware = m_strDeviceVersions[0];
    strData = m_strDeviceVersions[1];
    strRadar = m_strDeviceVersions[2];
    return true;
}

void CWork_BK::SetDeviceVersions(const std::wstring& strFirmware, const std::wstring& strData,
                                 const std::wstring& strRadar)
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    m_strDeviceVersions[0] = strFirmware;
    m_strDeviceVersions[1] = strData;
    m_strDeviceVersions[2] = strRadar;
}

void CWork_BK::GetSettingsG(std::uint8_t* pOut) const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    std::copy(m_SettingsG.begin(), m_SettingsG.end(), pOut);
}

void CWork_BK::GetSettingsI(std::uint8_t* pOut) const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    std::copy(m_SettingsI.begin(), m_SettingsI.end(), pOut);
}

void CWork_BK::SetSettingsG(const std::uint8_t* pIn)
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    std::copy(pIn, pIn + kSettingsSize, m_SettingsG.begin());
}

void CWork_BK::SetSettingsI(const std::uint8_t* pIn)
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    std::copy(pIn, pIn + kSettingsSize, m_SettingsI.begin());
}

// ---------------------------------------------------------------- notifications

void CWork_BK::NotifyDeviceReady()
{
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_DEVICE_READY, 0, 0);
}

void CWork_BK::NotifySettingsRead()
{
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_SETTINGS_READ, 0, 0);
}

void CWork_BK::NotifyStageStart()
{
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_STAGE_START, static_cast<std::uintptr_t>(m_nCurrentStage.load()),
                             static_cast<std::intptr_t>(m_dwStageTotal.load()));
}

void CWork_BK::NotifyProgress()
{
    CNotifyWindow* pWindow = m_pWindow;
    // A late answer after an update has ended (or failed) is no progress of
    // anything the window shows.
    if (pWindow == nullptr || !IsSequenceOpen())
        return;
    const std::uint32_t dwDone = ++m_dwDoneCount;
    pWindow->SendMessage(WM_PROGRESS, m_dwStageTotal.load(), static_cast<std::intptr_t>(dwDone));
}

void CWork_BK::NotifyStageResult(std::int32_t nResult)
{
    m_nLastResult = nResult;
    MarkActivity();
    if (m_nCurrentStage == 6)
        m_bInProgress = false;
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_STAGE_RESULT, static_cast<std::uintptr_t>(m_nCurrentStage.load()),
                             static_cast<std::intptr_t>(nResult));
}

void CWork_BK::NotifyDeviceLost()
{
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_DEVICE_LOST, 0, 0);
}

// ---------------------------------------------------------------- update sequence

void CWork_BK::SetStage(std::int32_t nStage)
{
    std::uint32_t dwTotal = 0;
    switch (nStage) {
    case 1: dwTotal = m_dwProjectFrames; break;
    case 2: dwTotal = GetEDogCount(); break;
    case 3: dwTotal = GetMusicCount(); break;
    case 4: dwTotal = GetRadarCount(); break;
    case 5: dwTotal = 1; break;
    default: break;
    }
    m_nCurrentStage = nStage;
    m_dwDoneCount = 0;
    m_nLastResult = 0;
    m_dwStageTotal = dwTotal;
    MarkActivity();
}

void CWork_BK::RequestStage(std::int32_t nStage)
{
    m_StageLock.Lock();
    m_StageRequests.push_back(nStage);
    m_StageLock.Unlock();
    m_StageEvent.Set();
}

bool CWork_BK::RefuseDamaged()
{
    struct CCheck {
        std::int32_t nStage;
        bool bDamaged;
        const wchar_t* wzFile;
        CLoadFault AFault;
    };
    bool bFirstNotAddress = false;
    CCheck Checks[4];
    {
        std::shared_lock ALock(m_ImageLock);
        const auto Records = m_Project.GetRecords();
        // Without an extended linear address first, no record has a known
        // 32-bit address: such a file cannot be programmed.
        bFirstNotAddress = !Records.empty() && Records.front().GetType() != 4;
        const CLoadFault AFirstNotAddress{CLoadFault::EWhere::Line, 1,
                                          L"first record is not an extended linear address"};
        Checks[0] = {1, m_Project.IsDamaged() || bFirstNotAddress, L"AC7811_project.hex",
                     bFirstNotAddress ? AFirstNotAddress : m_Project.GetLoadFault()};
        Checks[1] = {2, m_EDog.IsDamaged(), L"flagdata.bin", m_EDog.GetLoadFault()};
        Checks[2] = {3, m_Music.IsDamaged(), L"audioHead.bin", m_Music.GetLoadFault()};
        Checks[3] = {4, m_Radar.IsDamaged(), L"rdfw.bin", m_Radar.GetLoadFault()};
    }
    for (const CCheck& ACheck : Checks) {
        if (!ACheck.bDamaged)
            continue;
        DebugPrint(L"[Update] %ls is damaged%ls; nothing is sent\r\n", ACheck.wzFile,
                   ACheck.nStage == 1 && bFirstNotAddress
                       ? L" (its first record is not an extended linear address)"
                       : L"");
        {
            std::lock_guard<std::mutex> ALock(m_DataLock);
            m_Failure = {};
            m_Failure.eKind = CUpdateFailure::EKind::Damaged;
            m_Failure.nStage = ACheck.nStage;
            m_Failure.strFile = ACheck.wzFile;
            m_Failure.AFault = ACheck.AFault;
        }
        SetStage(ACheck.nStage);
        NotifyStageResult(1);
        SetStage(6);
        NotifyStageResult(1);
        return true;
    }
    return false;
}

bool CWork_BK::StartUpdate()
{
    m_nUpdateRunning = 1;
    {
        std::lock_guard<std::mutex> ALock(m_DataLock);
        m_Failure = {};
    }
    CDealMsg* pDeal = Deal();
    if (pDeal == nullptr || RefuseDamaged())
        return false;
    std::int32_t nFirst = 0;
    if (GetProjectCount() > 0)
        nFirst = 1;
    else if (GetEDogCount() > 0)
        nFirst = 2;
    else if (GetMusicCount() > 0)
        nFirst = 3;
    else if (GetRadarCount() > 0)
        nFirst = 4;
    else if (m_nWriteSettings != 0)
        nFirst = 5;
    if (nFirst == 0)
        return false;
    m_dwLastFailure = 0;
    m_nAnsweredSeen = GetAnsweredCount();
    m_bInProgress = true;
    NoteStartQueued(nFirst);
    switch (nFirst) {
    case 1: pDeal->SendProjectStart(); break;
    case 2: pDeal->SendEDogStart(); break;
    case 3: pDeal->SendMusicStart(); break;
    case 4: pDeal->SendRadarStart(); break;
    default: pDeal->SendWriteSettings(); break;
    }
    return true;
}

void CWork_BK::NoteStartQueued(std::int32_t nStage)
{
    m_nPendingStage = nStage;
    MarkActivity();
}

void CWork_BK::NoteStatus(std::uint8_t btCommand, std::uint8_t btStatus)
{
    m_dwLastFailure = (static_cast<std::uint32_t>(btCommand) << 8) | btStatus | 0x10000u;
}

void CWork_BK::MarkActivity() { m_dwLastActivity = GetTickCount(); }

void CWork_BK::OnProjectEnded()
{
    if (!m_bInProgress)
        return;
    // The device restarts into its new firmware; the pause holds this
    // (the read) thread, as the device expects nothing meanwhile.
    m_bPaused = true;
    const bool bQuit = m_QuitEvent.Wait(m_Settings.dwFirmwarePause);
    m_bPaused = false;
    MarkActivity();
    if (!bQuit)
        StartAfterStage(1);
}

void CWork_BK::StartAfterStage(std::int32_t nEnded)
{
    CDealMsg* pDeal = Deal();
    if (!m_bInProgress || pDeal == nullptr)
        return;
    if (nEnded < 2 && GetEDogCount() > 0) {
        NoteStartQueued(2);
        pDeal->SendEDogStart();
    } else if (nEnded < 3 && GetMusicCount() > 0) {
        NoteStartQueued(3);
        pDeal->SendMusicStart();
    } else if (nEnded < 4 && GetRadarCount() > 0) {
        NoteStartQueued(4);
        pDeal->SendRadarStart();
        if (nEnded == 3) {
            SetStage(4);
            NotifyStageStart();
        }
    } else if (nEnded < 5 && m_nWriteSettings != 0) {
        NoteStartQueued(5);
        pDeal->SendWriteSettings();
    } else {
        Finish();
    }
}

void CWork_BK::Finish()
{
    SetStage(6);
    NotifyStageResult(0);
}

void CWork_BK::FailUpdate(CUpdateFailure::EKind eKind, const wchar_t* wzWhy)
{
    if (!m_bInProgress.exchange(false))
        return;
    const std::uint8_t btCommand = GetFrontCommand();
    ClearTasks();
    std::wstring strStatus;
    const std::uint32_t dwFailure = m_dwLastFailure;
    if (dwFailure != 0 && Deal() != nullptr) {
        strStatus = Deal()->GetStatusText(static_cast<std::uint8_t>(dwFailure & 0xFF));
        if (!strStatus.empty() && strStatus.back() == L'\n')
            strStatus.pop_back();
    }
    std::int32_t nStage = m_nCurrentStage;
    if (m_nPendingStage != 0 && m_nPendingStage != nStage)
        nStage = m_nPendingStage;
    DebugPrint(L"[Update] stage %d failed: %ls; command %02X unanswered%ls%ls\r\n",
               static_cast<int>(nStage), wzWhy, btCommand,
               strStatus.empty() ? L"" : L"; the device answered: ", strStatus.c_str());
    CUpdateFailure AFailure;
    AFailure.eKind = eKind;
    AFailure.nStage = nStage;
    if (eKind == CUpdateFailure::EKind::Silent)
        AFailure.strStatus = strStatus;
    {
        std::lock_guard<std::mutex> ALock(m_DataLock);
        m_Failure = std::move(AFailure);
    }
    if (nStage != m_nCurrentStage)
        SetStage(nStage);
    NotifyStageResult(1);
    SetStage(6);
    NotifyStageResult(1);
}

void CWork_BK::CheckStall()
{
    if (!m_bInProgress || m_bPaused)
        return;
    const std::uint64_t nAnswered = GetAnsweredCount();
    if (nAnswered != m_nAnsweredSeen) {
        m_nAnsweredSeen = nAnswered;
        MarkActivity();
        return;
    }
    // A late answer may be in the middle of its reply right now: the
    // failure then waits until that reply's progress has been notified.
    if (GetTickCount() - m_dwLastActivity >= m_Settings.dwStallTimeout)
        RunAfterReply([this] { FailUpdate(CUpdateFailure::EKind::Silent, L"the device stopped answering"); });
}

void CWork_BK::UpdateLoop()
{
    while (m_nStop == 0) {
        const bool bSignalled = m_StageEvent.Wait(200);
        if (m_nStop != 0)
            break;
        if (bSignalled) {
            for (;;) {
                m_StageLock.Lock();
                if (m_StageRequests.empty()) {
                    m_StageLock.Unlock();
                    break;
                }
                const std::int32_t nStage = m_StageRequests.front();
                m_StageRequests.pop_front();
                m_StageLock.Unlock();
                RunStage(nStage);
            }
        }
        CheckStall();
    }
}

void CWork_BK::RunStage(std::int32_t nStage)
{
    CDealMsg* pDeal = Deal();
    if (pDeal == nullptr)
        return;
    int nResult = 1;
    switch (nStage) {
    case 1: nResult = pDeal->SendProjectPackets(); break;
    case 2: nResult = pDeal->SendEDogPackets(); break;
    case 3: nResult = pDeal->SendMusicPackets(); break;
    case 4: nResult = pDeal->SendRadarPackets(); break;
    default: break;
    }
    if (nResult == 0)
        FailUpdate(CUpdateFailure::EKind::NothingToSend, L"the image has nothing to send");
}

// ---------------------------------------------------------------- receiving and sending

int CWork_BK::OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    std::wstring strLine = L"Data is :";
    wchar_t wzByte[8];
    for (std::uint32_t i = 0; i < dwCount; ++i) {
        std::swprintf(wzByte, 8, L" %02x", pBytes[i]);
        strLine += wzByte;
        if (strLine.size() > 1000) {
            DebugPrint(L"%ls", strLine.c_str());
            strLine.clear();
        }
    }
    strLine += L"\r\n";
    DebugPrint(L"%ls", strLine.c_str());
    CDealMsg* pDeal = Deal();
    CutFrames(m_strReceive, {pBytes, dwCount}, [this, pDeal](const CRawString& strFrame) {
        if (pDeal == nullptr)
            return;
        BeginReply();
        pDeal->DispatchReply(strFrame);
        EndReply();
    });
    return 1;
}

void CWork_BK::BeginReply()
{
    std::lock_guard<std::mutex> ALock(m_ReplyLock);
    m_bInReply = true;
}

void CWork_BK::EndReply()
{
    // What the reply raised runs now; what that raises in turn, or another
    // thread meanwhile, is taken by the next round.
    for (;;) {
        std::vector<std::function<void()>> Actions;
        {
            std::lock_guard<std::mutex> ALock(m_ReplyLock);
            if (m_AfterReply.empty()) {
                m_bInReply = false;
                return;
            }
            Actions.swap(m_AfterReply);
        }
        for (const auto& Action : Actions)
            Action();
    }
}

void CWork_BK::RunAfterReply(std::function<void()> Action)
{
    {
        std::lock_guard<std::mutex> ALock(m_ReplyLock);
        if (m_bInReply) {
            m_AfterReply.push_back(std::move(Action));
            return;
        }
    }
    Action();
}

bool CWork_BK::AddTask(const CPacket_ISP& APacket) { return CTaskManager::AddTask(APacket); }

int CWork_BK::OnAnswer(std::uint8_t btCommand) { return CTaskManager::OnAnswer(btCommand); }

int CWork_BK::SendData(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    const bool bWritten = m_Serial.IsOpen() && m_Serial.Write(pBytes, dwCount);
    const std::uint8_t btCommand = dwCount > 3 ? pBytes[3] : 0;
    // The acknowledgement of a device request is itself an answer; nothing
    // comes back for it, and left at the front it would hold every later
    // command, the next update's start among them.
    if (btCommand == Cmd::Acknowledge)
        OnAnswer(btCommand);
    if (btCommand == Cmd::EDogEnd || btCommand == Cmd::MusicEnd || btCommand == Cmd::RadarEnd) {
        // The end command leaves the queue at once, so the next stage's
        // start is not held up; its stage ends after the reply that let it go.
        OnAnswer(btCommand);
        RunAfterReply([this, btCommand, bWritten] { EndStage(btCommand, bWritten); });
    }
    return bWritten ? 1 : 0;
}

void CWork_BK::EndStage(std::uint8_t btEndCommand, bool bWritten)
{
    if (!bWritten && m_bInProgress) {
        FailUpdate(CUpdateFailure::EKind::WriteFailed, L"the end command could not be written");
    } else if (IsSequenceOpen()) {
        NotifyStageResult(0);
        StartAfterStage(btEndCommand == Cmd::EDogEnd ? 2 : btEndCommand == Cmd::MusicEnd ? 3 : 4);
    }
}

int CWork_BK::SendTask(CPacket_ISP& APacket, std::uint32_t /*dwTriesUsed*/)
{
    SendData(APacket.GetData(), static_cast<std::uint32_t>(APacket.GetSize()));
    return 0;
}

bool CWork_BK::OnTimeout(CPacket_ISP& APacket)
{
    const std::uint8_t btCommand = APacket.GetCommand();
    return btCommand == Cmd::ReadSettingsG || btCommand == Cmd::ReadSettingsI;
}
