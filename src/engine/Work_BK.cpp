#include "Work_BK.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "Command.h"
#include "DealMsg.h"
#include "DebugPrint.h"
#include "Frame.h"
#include "PortTable.h"
#include "TextCodec.h"
#include "Tick.h"
#include "VersionFile.h"

namespace {

CDealMsg* Deal() { return Singleton<CDealMsg>::GetInstance(); }

} // namespace

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
}

void CWork_BK::SetNotifyWnd(CNotifyWindow* pWindow) { m_pWindow = pWindow; }

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
    for (const std::uint8_t btPort : GetPortsToProbe()) {
        if (m_bQuit || bFound)
            break;
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
        ++m_nInfoAnswers;
        bNotify = m_bImagesLoaded && !m_bReadySent;
        m_bReadySent = m_bReadySent || bNotify;
    }
    m_ReadyCond.notify_all();
    if (bNotify)
        NotifyDeviceReady();
}

void CWork_BK::RereadDeviceInfo()
{
    std::uint64_t nBefore = 0;
    {
        std::lock_guard<std::mutex> ALock(m_ReadyLock);
        nBefore = m_nInfoAnswers;
    }
    const std::uint8_t btPort = m_btPort;
    bool bAnswered = false;
    // A new update started meanwhile has the line: no question is put into it.
    for (std::uint32_t nAsked = 1; nAsked <= m_Settings.dwInfoTries && !bAnswered && !m_bQuit && IsConnected() &&
                                   !m_Sequence.IsRunning();
         ++nAsked) {
        RemoveFront(Cmd::InfoRequest);
        if (CDealMsg* pDeal = Deal())
            pDeal->SendInfoRequest(btPort);
        std::unique_lock<std::mutex> ALock(m_ReadyLock);
        bAnswered = m_ReadyCond.wait_for(ALock, std::chrono::milliseconds(m_Settings.dwInfoWait),
                                         [&] { return m_nInfoAnswers != nBefore || m_bQuit; }) &&
                    m_nInfoAnswers != nBefore;
        if (!bAnswered)
            DebugPrint(L"[Device] COM%u: no information after the update within %u ms (%u of %u)\r\n",
                       static_cast<unsigned>(btPort), m_Settings.dwInfoWait, nAsked, m_Settings.dwInfoTries);
    }
    // A device lost meanwhile has been announced as lost, and a new update
    // reports what it does: nothing more.
    if (m_bQuit || !IsConnected() || m_Sequence.IsRunning())
        return;
    if (!bAnswered)
        SetDeviceVersions({}, {}, {});
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_DEVICE_REREAD, bAnswered ? 1 : 0, 0);
}

std::wstring CWork_BK::GetFirmwareSent() const
{
    const std::int32_t nVersion = m_Sequence.GetFirmwareSent();
    return nVersion < 0 ? std::wstring() : FormatVersion(static_cast<std::uint16_t>(nVersion));
}

void CWork_BK::OnPortLost()
{
    DebugPrint(L"[Device] COM%d is gone\r\n", static_cast<int>(m_btPort.load()));
    m_Sequence.Fail(CUpdateFailure::EKind::Lost, L"the device was disconnected");
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


// ---------------------------------------------------------------- images

std::uint32_t CWork_BK::GetProjectCount() const { return m_Images.GetCount(EImage::Project); }
std::uint32_t CWork_BK::GetEDogCount() const { return m_Images.GetCount(EImage::EDog); }
std::uint32_t CWork_BK::GetMusicCount() const { return m_Images.GetCount(EImage::Music); }
std::uint32_t CWork_BK::GetRadarCount() const { return m_Images.GetCount(EImage::Radar); }

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
    if (!IsSequenceOpen())
        return;
    const std::uint32_t dwDone = ++m_dwAnsweredUnits;
    if (pWindow != nullptr)
        pWindow->SendMessage(WM_PROGRESS, m_dwStageTotal.load(), static_cast<std::intptr_t>(dwDone));
}

void CWork_BK::NotifyStageResult(std::int32_t nResult)
{
    m_nLastResult = nResult;
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_STAGE_RESULT, static_cast<std::uintptr_t>(m_nCurrentStage.load()),
                             static_cast<std::intptr_t>(nResult));
}

void CWork_BK::NotifyDeviceLost()
{
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_DEVICE_LOST, 0, 0);
}

// ---------------------------------------------------------------- stages

void CWork_BK::SetStage(std::int32_t nStage)
{
    m_nCurrentStage = nStage;
    m_dwAnsweredUnits = 0;
    m_nLastResult = 0;
    m_dwStageTotal = GetStageTotal(nStage);
}

std::uint32_t CWork_BK::GetStageTotal(std::int32_t nStage) const
{
    const CStage* pStage = FindStage(nStage);
    if (pStage == nullptr)
        return 0;
    return pStage->eImage == EImage::Menu ? 1 : m_Images.GetTotal(pStage->eImage);
}

bool CWork_BK::HasWork(const CStage& AStage) const
{
    return AStage.eImage == EImage::Menu ? m_nWriteSettings != 0 : m_Images.HasData(AStage.eImage);
}

bool CWork_BK::HandOverMenu(const CSettingsBlock& AEdited)
{
    CSettingsBlock ADevice{};
    GetSettingsG(ADevice.data());
    const bool bAllZero = std::all_of(AEdited.begin(), AEdited.end(), [](std::uint8_t bt) { return bt == 0; });
    if (AEdited == ADevice || bAllZero)
        return false;
    SetWriteSettings(1);
    SetSettingsG(AEdited.data());
    return true;
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
        m_Sequence.BeginReply();
        pDeal->DispatchReply(strFrame);
        m_Sequence.EndReply();
    });
    return 1;
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

bool CWork_BK::OnTimeout(CPacket_ISP& APacket)
{
    const std::uint8_t btCommand = APacket.GetCommand();
    return btCommand == Cmd::ReadSettingsG || btCommand == Cmd::ReadSettingsI;
}
