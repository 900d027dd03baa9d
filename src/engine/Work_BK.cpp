#include "Work_BK.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>
#include <type_traits>

#include "DebugPrint.h"
#include "Frame.h"
#include "PortTable.h"
#include "TextCodec.h"
#include "VersionFile.h"

CWork_BK::CWork_BK() : m_Serial(nullptr, 10), m_Core(m_Images, MakeTimes()) {}

CWork_BK::~CWork_BK() { Reset(); }

void CWork_BK::SetWorkSettings(const CWorkSettings& ASettings)
{
    m_Settings = ASettings;
    m_Serial.SetPollingPause(ASettings.bPollingReads);
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    m_Core.SetTimes(MakeTimes());
}

CProtocolTimes CWork_BK::MakeTimes() const
{
    CProtocolTimes ATimes;
    ATimes.tTaskWait = CMillis(m_Settings.dwTaskWait);
    ATimes.tFirmwarePause = CMillis(m_Settings.dwFirmwarePause);
    ATimes.tStallTimeout = CMillis(m_Settings.dwStallTimeout);
    ATimes.tInfoWait = CMillis(m_Settings.dwInfoWait);
    ATimes.nInfoTries = m_Settings.dwInfoTries;
    return ATimes;
}

void CWork_BK::SetNotifyWnd(CNotifyWindow* pWindow) { m_pWindow = pWindow; }

CMillis CWork_BK::Now() const
{
    return std::chrono::duration_cast<CMillis>(std::chrono::steady_clock::now() - m_tEpoch);
}

// ---------------------------------------------------------------- the protocol

template <class TChange>
auto CWork_BK::Feed(TChange Change)
{
    std::vector<CProtocolAction> Actions;
    using AResult = decltype(Change(m_Core));
    if constexpr (std::is_void_v<AResult>) {
        {
            std::lock_guard<std::mutex> ALock(m_CoreLock);
            Change(m_Core);
            Actions = m_Core.TakeActions();
        }
        m_LinkCond.notify_all();
        CarryOut(std::move(Actions));
    } else {
        AResult AAnswer{};
        {
            std::lock_guard<std::mutex> ALock(m_CoreLock);
            AAnswer = Change(m_Core);
            Actions = m_Core.TakeActions();
        }
        m_LinkCond.notify_all();
        CarryOut(std::move(Actions));
        return AAnswer;
    }
}

void CWork_BK::CarryOut(std::vector<CProtocolAction> Actions)
{
    // In the order answered; what a write's outcome answers comes after
    // what was already to be done, so that the window hears of a stage's
    // last unit before of its end.
    for (std::size_t i = 0; i < Actions.size(); ++i) {
        switch (Actions[i].eKind) {
        case CProtocolAction::EKind::Trace: DebugPrint(L"%ls", Actions[i].strText.c_str()); break;
        case CProtocolAction::EKind::Notify:
            if (CNotifyWindow* pWindow = m_pWindow)
                pWindow->SendMessage(Actions[i].uMessage, Actions[i].wParam, Actions[i].lParam);
            break;
        case CProtocolAction::EKind::Write: {
            const std::vector<std::uint8_t> Frame = std::move(Actions[i].Frame);
            const bool bWritten = SendData(Frame.data(), static_cast<std::uint32_t>(Frame.size()));
            std::lock_guard<std::mutex> ALock(m_CoreLock);
            m_Core.OnWritten(Frame.size() > 3 ? Frame[3] : 0, bWritten, Now());
            std::vector<CProtocolAction> More = m_Core.TakeActions();
            std::move(More.begin(), More.end(), std::back_inserter(Actions));
            break;
        }
        }
    }
}

bool CWork_BK::SendData(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    return m_Serial.IsOpen() && m_Serial.Write(pBytes, dwCount);
}

EStartResult CWork_BK::StartUpdate()
{
    return Feed([this](CUpdateProtocol& ACore) { return ACore.StartUpdate(Now()); });
}

bool CWork_BK::HandOverMenu(const CSettingsBlock& AEdited)
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    return m_Core.HandOverMenu(AEdited);
}

CUpdatePlan CWork_BK::PlanUpdate() const
{
    return CUpdatePlan::Make(m_Images, GetMenuToWrite().has_value(), kLineBaud, m_Settings.dwFirmwarePause / 1000.0);
}

// ---------------------------------------------------------------- the read thread

int CWork_BK::OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount)
{
    DebugPrintBytes(L"Data is :", {pBytes, dwCount});
    CutFrames(m_strReceive, {pBytes, dwCount}, [this](const CRawString& strFrame) {
        const CReply AReply = m_Deal.Decode(strFrame);
        Feed([&](CUpdateProtocol& ACore) { ACore.OnReply(AReply, Now()); });
    });
    return 1;
}

void CWork_BK::OnTick()
{
    std::optional<CMillis> WakeUp;
    {
        std::lock_guard<std::mutex> ALock(m_CoreLock);
        WakeUp = m_Core.GetWakeUp();
    }
    if (WakeUp && Now() >= *WakeUp)
        Feed([this](CUpdateProtocol& ACore) { ACore.OnTime(Now()); });
}

void CWork_BK::OnPortLost()
{
    Feed([this](CUpdateProtocol& ACore) { ACore.OnPortLost(Now()); });
    // The search thread closes the port (joining this thread), empties the
    // images and searches again.
    m_SearchEvent.Set();
}

// ---------------------------------------------------------------- start and end

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
    return true;
}

void CWork_BK::Reset()
{
    {
        // Under the lock, so that a search waiting for the device's
        // information cannot miss it.
        std::lock_guard<std::mutex> ALock(m_CoreLock);
        m_bQuit = true;
    }
    m_LinkCond.notify_all();
    m_QuitEvent.Set();
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
        std::lock_guard<std::mutex> ALock(m_CoreLock);
        m_Core.Disconnect();
    }
    std::lock_guard<std::mutex> ALock(m_FolderLock);
    m_Images.Clear();
    m_bImagesWanted = false;
}

// ---------------------------------------------------------------- the search

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
        {
            std::lock_guard<std::mutex> ALock(m_DataLock);
            m_strPortPath = m_Serial.GetPortPath();
        }
        LoadImages();
        bFound = Connect(btPort);
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
    if (!bFound) {
        ResetConnection();
        if (!m_bQuit)
            ++m_nSearches;
    }
    return bFound;
}

bool CWork_BK::Connect(std::uint8_t btPort)
{
    Feed([this, btPort](CUpdateProtocol& ACore) { ACore.Connect(btPort, Now()); });
    // The protocol asks again when the answer is lost, on the read thread's
    // ticks; this thread only waits for how that ends.
    std::unique_lock<std::mutex> ALock(m_CoreLock);
    m_LinkCond.wait(ALock, [this] { return m_bQuit || m_Core.GetLink() != CUpdateProtocol::ELink::Asking; });
    return !m_bQuit && m_Core.GetLink() == CUpdateProtocol::ELink::Ready;
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

std::vector<CPortFinding> CWork_BK::GetSearchFindings() const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    return m_SearchFindings;
}

std::string CWork_BK::GetPortPath() const
{
    std::lock_guard<std::mutex> ALock(m_DataLock);
    return m_strPortPath;
}

// ---------------------------------------------------------------- the update folder

bool CWork_BK::SetUpdateFolder(const std::wstring& strFolder)
{
    if (IsUpdateRunning())
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

// ---------------------------------------------------------------- the queries

bool CWork_BK::GetDeviceVersions(std::wstring& strFirmware, std::wstring& strData, std::wstring& strRadar) const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    const auto& Versions = m_Core.GetVersions();
    if (std::any_of(Versions.begin(), Versions.end(), [](const std::wstring& s) { return s.empty(); }))
        return false;
    strFirmware = Versions[0], strData = Versions[1], strRadar = Versions[2];
    return true;
}

void CWork_BK::GetSettingsG(std::uint8_t* pOut) const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    std::copy(m_Core.GetSettingsG().begin(), m_Core.GetSettingsG().end(), pOut);
}

void CWork_BK::GetSettingsI(std::uint8_t* pOut) const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    std::copy(m_Core.GetSettingsI().begin(), m_Core.GetSettingsI().end(), pOut);
}

std::optional<CSettingsBlock> CWork_BK::GetMenuToWrite() const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    return m_Core.GetMenuToWrite();
}

std::int32_t CWork_BK::GetCurrentStage() const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    return m_Core.GetCurrentStage();
}

std::uint32_t CWork_BK::GetDoneCount() const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    return m_Core.GetDoneCount();
}

std::int32_t CWork_BK::GetLastResult() const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    return m_Core.GetLastResult();
}

bool CWork_BK::IsUpdateRunning() const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    return m_Core.IsRunning();
}

CUpdateFailure CWork_BK::GetFailure() const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    return m_Core.GetFailure();
}

std::wstring CWork_BK::GetFirmwareSent() const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    const std::int32_t nVersion = m_Core.GetFirmwareSent();
    return nVersion < 0 ? std::wstring() : FormatVersion(static_cast<std::uint16_t>(nVersion));
}

bool CWork_BK::IsConnected() const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    return m_Core.GetLink() == CUpdateProtocol::ELink::Ready;
}

std::uint8_t CWork_BK::GetPortNumber() const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    return m_Core.GetPort();
}

std::size_t CWork_BK::GetQueueLength() const
{
    std::lock_guard<std::mutex> ALock(m_CoreLock);
    return m_Core.GetQueueLength();
}
