#include "Work_BK.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "Command.h"
#include "DebugPrint.h"
#include "PortTable.h"
#include "TextCodec.h"
#include "VersionFile.h"

CWork_BK::CWork_BK() : m_Serial(nullptr, 10) {}

CWork_BK::~CWork_BK()
{
    Reset();
    m_Sequence.Stop();
    CTaskManager::Stop();
}

void CWork_BK::SetWorkSettings(const CWorkSettings& ASettings)
{
    m_Settings = ASettings;
    SetWaitTime(ASettings.dwTaskWait);
    m_Serial.SetPollingPause(ASettings.bPollingReads);
    m_Sequence.SetTimes({ASettings.dwFirmwarePause, ASettings.dwStallTimeout});
}

void CWork_BK::SetNotifyWnd(CNotifyWindow* pWindow)
{
    m_pWindow = pWindow;
    m_Sequence.SetNotifyWnd(pWindow);
}

bool CWork_BK::StartWork(std::uint32_t dwPortBound, std::uint32_t dwBaud, const std::wstring& strFolder)
{
    m_dwPortBound = dwPortBound;
    m_dwBaud = dwBaud;
    {
        // The folder is joined to the file names as text: a folder without
        // its trailing separator names files beside it.
        std::lock_guard<std::mutex> ALock(m_FolderLock);
        m_Folder = PathFromWide(strFolder);
    }
    if (!m_SearchThread.joinable()) {
        m_bQuit = false;
        m_QuitEvent.Reset();
        m_SearchThread = std::thread([this] { SearchLoop(); });
    } else {
        m_SearchEvent.Set();
    }
    m_Sequence.Resume();
    m_Sequence.Run();
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
    m_Sequence.Interrupt();
    // A probe waiting on a silent port ends now, not after its second.
    m_Serial.Interrupt();
    m_SearchEvent.Set();
    if (m_SearchThread.joinable() && m_SearchThread.get_id() != std::this_thread::get_id())
        m_SearchThread.join();
    ResetConnection();
}

void CWork_BK::ResetConnection()
{
    m_Serial.Close();
    {
        std::lock_guard<std::mutex> ALock(m_FolderLock);
        m_Images.Clear();
        m_bImagesWanted = false;
    }
    CTaskManager::Stop();
    std::lock_guard<std::mutex> ALock(m_ReadyLock);
    m_bImagesLoaded = m_bInfoSeen = m_bReadySent = false;
}

void CWork_BK::Notify(std::uint32_t uMessage, std::uintptr_t wParam)
{
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(uMessage, wParam, 0);
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
        m_bMenuHeld = false;
        m_strDeviceVersions = {};
    }
    m_Serial.SetOwner(this);
    std::vector<CPortFinding> Findings;
    bool bFound = false;
    for (const std::uint8_t btPort : GetPortsToProbe()) {
        if (m_bQuit || bFound)
            break;
        if (m_Serial.Open(btPort, m_dwBaud, 8, 0, 0) == 0) {
            if (std::optional<CPortFinding> AFinding = FindOnPort(btPort, m_Serial))
                Findings.push_back(std::move(*AFinding));
            continue;
        }
        const auto tAsked = std::chrono::steady_clock::now();
        m_btPort = btPort;
        {
            std::lock_guard<std::mutex> ALock(m_DataLock);
            m_strPortPath = m_Serial.GetPortPath();
        }
        LoadImages();
        MarkReady(true, false);
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
        ++m_dwSearchCount;
    }
    if (!bFound)
        ResetConnection();
    return bFound;
}

std::vector<std::uint8_t> CWork_BK::GetPortsToProbe() const
{
    if (!m_Settings.Ports.empty())
        return m_Settings.Ports;
    std::vector<std::uint8_t> Ports;
    for (std::uint32_t dwPort = 1; dwPort < m_dwPortBound && dwPort <= 255; ++dwPort)
        Ports.push_back(static_cast<std::uint8_t>(dwPort));
    // An adapter the system numbered past the bound (Windows numbers them in
    // the order it first met them: COM57 is common) is found too.
    for (const unsigned nPort : ListPortNumbers())
        if (nPort >= m_dwPortBound && nPort <= 255)
            Ports.push_back(static_cast<std::uint8_t>(nPort));
    return Ports;
}

bool CWork_BK::AskDeviceInfo(std::uint8_t btPort, std::uint64_t nBefore, std::chrono::steady_clock::time_point tAsked,
                             const wchar_t* wzWhen)
{
    // The information request is a question without side effects: when its
    // answer is lost on the line, it is asked again, a bounded number of
    // times. The first was asked at tAsked; a new update started meanwhile
    // has the line, and no question is put into it.
    for (std::uint32_t nAsked = 1;; ++nAsked) {
        {
            std::unique_lock<std::mutex> ALock(m_ReadyLock);
            const auto tUntil = tAsked + std::chrono::milliseconds(m_Settings.dwInfoWait);
            if (m_ReadyCond.wait_until(ALock, tUntil, [&] { return m_nInfoAnswers != nBefore || m_bQuit; }))
                return m_nInfoAnswers != nBefore;
        }
        if (nAsked >= m_Settings.dwInfoTries || !IsConnected() || m_Sequence.IsRunning())
            return false;
        DebugPrint(L"[Device] COM%u: no device information %ls within %u ms; asked again (%u of %u)\r\n",
                   static_cast<unsigned>(btPort), wzWhen, m_Settings.dwInfoWait, nAsked + 1, m_Settings.dwInfoTries);
        RemoveFront(Cmd::InfoRequest);
        CDealMsg::SendInfoRequest(*this, btPort);
        tAsked = std::chrono::steady_clock::now();
    }
}

bool CWork_BK::AwaitDeviceInfo(std::uint8_t btPort, std::chrono::steady_clock::time_point tAsked)
{
    // The port's opening asked the first time; the answers counted before
    // it are none of this port's.
    if (AskDeviceInfo(btPort, 0, tAsked, L"at connection"))
        return true;
    std::lock_guard<std::mutex> ALock(m_ReadyLock);
    if (m_bInfoSeen)
        return true;
    // Given up: an answer that still comes must not announce a device whose
    // port is about to close.
    m_bImagesLoaded = false;
    if (!m_bQuit)
        DebugPrint(L"[Search] COM%u answered the probe but sent no information to %u requests; closed, "
                   L"searching on\r\n",
                   static_cast<unsigned>(btPort), m_Settings.dwInfoTries);
    return false;
}

void CWork_BK::MarkReady(bool bImagesLoaded, bool bInfoSeen)
{
    bool bNotify = false;
    {
        std::lock_guard<std::mutex> ALock(m_ReadyLock);
        m_bImagesLoaded = m_bImagesLoaded || bImagesLoaded;
        if (bInfoSeen) {
            m_bInfoSeen = true;
            ++m_nInfoAnswers;
        }
        bNotify = m_bImagesLoaded && m_bInfoSeen && !m_bReadySent;
        m_bReadySent = m_bReadySent || bNotify;
    }
    m_ReadyCond.notify_all();
    if (bNotify)
        Notify(WM_DEVICE_READY);
}

void CWork_BK::RereadDevice()
{
    std::uint64_t nBefore = 0;
    {
        std::lock_guard<std::mutex> ALock(m_ReadyLock);
        nBefore = m_nInfoAnswers;
    }
    const std::uint8_t btPort = m_btPort;
    bool bAnswered = false;
    if (IsConnected() && !m_Sequence.IsRunning()) {
        RemoveFront(Cmd::InfoRequest);
        CDealMsg::SendInfoRequest(*this, btPort);
        bAnswered = AskDeviceInfo(btPort, nBefore, std::chrono::steady_clock::now(), L"after the update");
    }
    // A device lost meanwhile has been announced as lost, and a new update
    // reports what it does: nothing more.
    if (m_bQuit || !IsConnected() || m_Sequence.IsRunning())
        return;
    if (!bAnswered)
        SetDeviceVersions({}, {}, {});
    Notify(WM_DEVICE_REREAD, bAnswered ? 1 : 0);
}

CUpdatePlan CWork_BK::PlanUpdate() const
{
    return CUpdatePlan::Make(m_Images, GetMenuToWrite().has_value(), kLineBaud,
                             m_Sequence.GetTimes().dwFirmwarePause / 1000.0);
}

std::wstring CWork_BK::GetFirmwareSent() const
{
    const std::int32_t nVersion = m_Sequence.GetFirmwareSent();
    return nVersion < 0 ? std::wstring() : FormatVersion(static_cast<std::uint16_t>(nVersion));
}

std::string CWork_BK::GetPortPath() const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    return m_strPortPath;
}

std::vector<CPortFinding> CWork_BK::GetSearchFindings() const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    return m_SearchFindings;
}

// ---------------------------------------------------------------- the connection

bool CWork_BK::SetUpdateFolder(const std::wstring& strFolder)
{
    if (m_Sequence.IsRunning())
        return false;
    std::lock_guard<std::mutex> ALock(m_FolderLock);
    m_Folder = PathFromWide(strFolder);
    // Under the same lock as the search's loading: a device that is being
    // connected right now reads either this folder or is read again here.
    if (m_bImagesWanted)
        m_Images.Load(m_Folder);
    return true;
}

void CWork_BK::LoadImages()
{
    std::lock_guard<std::mutex> ALock(m_FolderLock);
    m_bImagesWanted = true;
    // No folder chosen: nothing is read, not even from the working folder;
    // only the device menu can be written.
    m_Images.Load(m_Folder);
}

void CWork_BK::OnPortOpened(std::uint8_t btPort)
{
    {
        std::lock_guard<std::mutex> ALock(m_ReadyLock);
        m_nInfoAnswers = 0;
    }
    SetWaitTime(m_Settings.dwTaskWait);
    CTaskManager::Start();
    CDealMsg::SendInfoRequest(*this, btPort);
}

void CWork_BK::OnPortLost()
{
    DebugPrint(L"[Device] COM%d is gone\r\n", static_cast<int>(m_btPort.load()));
    m_Sequence.Fail(CUpdateFailure::EKind::Lost, L"the device was disconnected");
    Notify(WM_DEVICE_LOST);
    // The search thread closes the port (joining this thread), empties the
    // images and searches again.
    m_SearchEvent.Set();
}

void CWork_BK::OnDeviceInfo(std::uint8_t /*btPort*/, const std::array<std::wstring, 3>& Versions)
{
    SetDeviceVersions(Versions[0], Versions[1], Versions[2]);
    OnAnswer(Cmd::InfoRequest);
    MarkReady(false, true);
    CDealMsg::SendReadSettings(*this);
    CDealMsg::SendReadSettingsI(*this);
}

void CWork_BK::OnSettingsBlock(std::uint8_t btRead, std::span<const std::uint8_t, kSettingsSize> Block)
{
    OnAnswer(btRead);
    // Once an update runs, block G holds the menu it writes, and so it does
    // from the moment a menu was handed over: a late answer to an earlier
    // read must not put the device's old menu in place of the driver's edit.
    bool bKept = false;
    if (!m_Sequence.IsRunning()) {
        std::lock_guard<std::mutex> ALock(m_DataLock);
        bKept = btRead == Cmd::ReadSettingsG && m_bMenuHeld;
        if (btRead == Cmd::ReadSettingsI)
            std::copy(Block.begin(), Block.end(), m_SettingsI.begin());
        else if (btRead == Cmd::ReadSettingsG && !bKept)
            std::copy(Block.begin(), Block.end(), m_SettingsG.begin());
    }
    if (bKept)
        DebugPrint(L"[Device] the device's menu came while the driver's waits to be written; the driver's stays\r\n");
    Notify(WM_SETTINGS_READ);
}

void CWork_BK::OnDeviceRequest()
{
    ClearTasks();
    CDealMsg::SendAck(*this);
}

// ---------------------------------------------------------------- settings and versions

bool CWork_BK::GetDeviceVersions(std::wstring& strFirmware, std::wstring& strData,
                                 std::wstring& strRadar) const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    if (std::any_of(m_strDeviceVersions.begin(), m_strDeviceVersions.end(), [](const auto& s) { return s.empty(); }))
        return false;
    strFirmware = m_strDeviceVersions[0], strData = m_strDeviceVersions[1], strRadar = m_strDeviceVersions[2];
    return true;
}

void CWork_BK::SetDeviceVersions(const std::wstring& strFirmware, const std::wstring& strData,
                                 const std::wstring& strRadar)
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    m_strDeviceVersions = {strFirmware, strData, strRadar};
}

void CWork_BK::CopyBlock(const std::uint8_t* pFrom, std::uint8_t* pTo) const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    std::copy(pFrom, pFrom + kSettingsSize, pTo);
}

bool CWork_BK::HandOverMenu(const CSettingsBlock& AEdited)
{
    CSettingsBlock ADevice{};
    GetSettingsG(ADevice.data());
    const bool bAllZero = std::all_of(AEdited.begin(), AEdited.end(), [](std::uint8_t bt) { return bt == 0; });
    if (AEdited == ADevice || bAllZero)
        return false;
    {
        std::lock_guard<std::mutex> ALock(m_DataLock);
        m_SettingsG = AEdited;
        m_bMenuHeld = true;
    }
    SetWriteSettings(1);
    return true;
}

void CWork_BK::OnMenuWritten()
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    m_bMenuHeld = false;
}

std::optional<CSettingsBlock> CWork_BK::GetMenuToWrite() const
{
    if (m_nWriteSettings == 0)
        return std::nullopt;
    std::lock_guard<std::mutex> ALock(m_DataLock);
    return m_SettingsG;
}

// ---------------------------------------------------------------- receiving and sending

int CWork_BK::OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    DebugPrintBytes(L"Data is :", {pBytes, dwCount});
    m_Cutter.Cut({pBytes, dwCount}, [this](const CRawString& strFrame) { DispatchFrame(strFrame); });
    return 1;
}

void CWork_BK::DispatchFrame(const CRawString& strFrame)
{
    m_Sequence.BeginReply();
    m_Deal.DispatchReply(strFrame, *this);
    m_Sequence.EndReply();
}

void CWork_BK::QueueFrame(std::uint8_t btCommand, std::span<const std::uint8_t> Payload)
{
    CPacket_ISP APacket;
    APacket.SetCommand(btCommand, Payload.empty() ? nullptr : Payload.data(), static_cast<std::uint16_t>(Payload.size()));
    AddTask(APacket);
}

int CWork_BK::SendData(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    const bool bWritten = m_Serial.IsOpen() && m_Serial.Write(pBytes, dwCount);
    const std::uint8_t btCommand = dwCount > 3 ? pBytes[3] : 0;
    // The acknowledgement of a device request is itself an answer; nothing
    // comes back for it, and left at the front it would hold every later
    // command, the next update's start among them.
    if (btCommand == Cmd::Acknowledge)
        OnAnswer(btCommand);
    if (const CStage* pStage = FindStageBy(&CStage::btEnd, btCommand); pStage && pStage->bEndsWhenWritten) {
        // The end command leaves the queue at once, so the next stage's
        // start is not held up; its stage ends after the reply that let it go.
        OnAnswer(btCommand);
        m_Sequence.OnEndWritten(btCommand, bWritten);
    }
    return bWritten ? 1 : 0;
}

int CWork_BK::SendTask(CPacket_ISP& APacket, std::uint32_t /*dwTriesUsed*/)
{
    SendData(APacket.GetData(), static_cast<std::uint32_t>(APacket.GetSize()));
    return 0;
}

bool CWork_BK::OnTimeout(CPacket_ISP& APacket) { return Cmd::IsSettingsRead(APacket.GetCommand()); }
