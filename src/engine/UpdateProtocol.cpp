#include "UpdateProtocol.h"

#include <algorithm>
#include <cwchar>

#include "Command.h"
#include "NotifyWindow.h"
#include "Packet_ISP.h"

namespace {

std::wstring Format(const wchar_t* wzFormat, auto... Args)
{
    wchar_t wzBuf[512] = {};
    std::swprintf(wzBuf, 512, wzFormat, Args...);
    return wzBuf;
}

std::wstring Widen(const char* szText) { return std::wstring(szText, szText + std::char_traits<char>::length(szText)); }

} // namespace

CUpdateProtocol::CUpdateProtocol(const CImageSource& AImages, CProtocolTimes ATimes)
    : m_Images(AImages), m_Times(ATimes)
{
}

std::vector<CProtocolAction> CUpdateProtocol::TakeActions()
{
    std::vector<CProtocolAction> Actions;
    Actions.swap(m_Actions);
    return Actions;
}

void CUpdateProtocol::Notify(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam)
{
    CProtocolAction AAction;
    AAction.eKind = CProtocolAction::EKind::Notify;
    AAction.uMessage = uMessage;
    AAction.wParam = wParam;
    AAction.lParam = lParam;
    m_Actions.push_back(std::move(AAction));
}

void CUpdateProtocol::Trace(std::wstring strText)
{
    CProtocolAction AAction;
    AAction.eKind = CProtocolAction::EKind::Trace;
    AAction.strText = std::move(strText);
    m_Actions.push_back(std::move(AAction));
}

std::optional<CMillis> CUpdateProtocol::GetWakeUp() const
{
    std::optional<CMillis> Earliest;
    const auto Consider = [&Earliest](CMillis tWhen) { Earliest = Earliest ? std::min(*Earliest, tWhen) : tWhen; };
    if (m_eAsking != EAsking::None)
        Consider(m_tInfoDue);
    if (m_InFlight && Cmd::IsSettingsRead(m_InFlight->btCommand))
        Consider(m_InFlight->tSent + m_Times.tTaskWait);
    if (m_PauseUntil)
        Consider(*m_PauseUntil);
    else if (m_bRunning)
        Consider(m_tLastActivity + m_Times.tStallTimeout);
    return Earliest;
}

// ---------------------------------------------------------------- the send queue

void CUpdateProtocol::Queue(std::uint8_t btCommand, CPayload Payload, ERole eRole)
{
    m_Queue.push_back({btCommand, std::move(Payload), eRole, false});
}

std::size_t CUpdateProtocol::CountWaiting() const
{
    std::size_t nWaiting = 0;
    for (const CQueued& AQueued : m_Queue)
        nWaiting += AQueued.bStageRun ? m_dwTotal - std::min(m_nNextData, m_dwTotal) + 1 : 1;
    return nWaiting;
}

void CUpdateProtocol::Send(std::uint8_t btCommand, const CPayload& Payload, ERole eRole)
{
    // The trace names the frames still waiting, this one among them, as a
    // queue of them all would count them.
    Trace(Format(L"[TaskManager] thread run :%d size=%d\r\n", static_cast<int>(m_tNow.count()),
                 static_cast<int>(CountWaiting() + 1)));
    CPacket_ISP APacket;
    APacket.SetCommand(btCommand, Payload.empty() ? nullptr : Payload.data(), static_cast<std::uint16_t>(Payload.size()));
    CProtocolAction AAction;
    AAction.eKind = CProtocolAction::EKind::Write;
    AAction.Frame.assign(APacket.GetData(), APacket.GetData() + APacket.GetSize());
    m_Actions.push_back(std::move(AAction));
    m_InFlight = CInFlight{btCommand, eRole, m_tNow};
}

void CUpdateProtocol::SendNext()
{
    // Nothing goes while a frame awaits its answer, nor while the device
    // restarts into its new firmware (it expects nothing then but the
    // acknowledgement of a request of its own).
    if (m_InFlight || m_Queue.empty() || (m_PauseUntil && m_Queue.front().eRole != ERole::Ack))
        return;
    CQueued& AFront = m_Queue.front();
    if (!AFront.bStageRun) {
        const CQueued ASent = std::move(AFront);
        m_Queue.pop_front();
        Send(ASent.btCommand, ASent.Payload, ASent.eRole);
        return;
    }
    // The running stage's frames are made one at a time, as each goes.
    const CStage* pStage = FindStage(m_nStage);
    if (pStage == nullptr) {
        m_Queue.pop_front();
        SendNext();
        return;
    }
    if (m_nNextData < m_dwTotal) {
        const CPayload Payload = m_Images.GetPayload(pStage->eImage, m_nNextData);
        if (Payload.empty()) {
            Fail(CUpdateFailure::EKind::NothingToSend, L"the image has nothing to send");
            return;
        }
        ++m_nNextData;
        Send(pStage->btBlock, Payload, ERole::Data);
        return;
    }
    m_Queue.pop_front();
    Send(pStage->btEnd, {}, ERole::End);
}

bool CUpdateProtocol::TakeAnswer(std::uint8_t btCommand)
{
    if (!m_InFlight)
        return false;
    Trace(Format(L"[CMD %02X %02X\r\n", m_InFlight->btCommand, btCommand));
    if (m_InFlight->btCommand != btCommand)
        return false;
    m_InFlight.reset();
    m_tLastActivity = m_tNow;
    return true;
}

void CUpdateProtocol::DropAll()
{
    m_Queue.clear();
    m_InFlight.reset();
}

// ---------------------------------------------------------------- the connection

void CUpdateProtocol::Connect(std::uint8_t btPort, CMillis tNow)
{
    Disconnect();
    m_tNow = tNow;
    m_btPort = btPort;
    m_eLink = ELink::Asking;
    AskInfo(EAsking::Connection);
}

void CUpdateProtocol::Disconnect()
{
    // Nothing of the connection is to be done any more.
    m_Actions.clear();
    DropAll();
    m_eLink = ELink::Closed;
    m_eAsking = EAsking::None;
    m_bRunning = false;
    m_PauseUntil.reset();
    // Another device may be connected next: nothing of this one stays.
    m_Versions = {};
    m_SettingsG.fill(0);
    m_bMenuHeld = false;
}

void CUpdateProtocol::AskInfo(EAsking eWhy)
{
    m_eAsking = eWhy;
    m_nInfoAsked = 1;
    m_tInfoDue = m_tNow + m_Times.tInfoWait;
    Queue(Cmd::InfoRequest, {m_btPort});
    SendNext();
}

void CUpdateProtocol::OnInfoDue()
{
    const bool bLost = m_eLink == ELink::Lost || m_eLink == ELink::Closed;
    // The information request is a question without side effects: when its
    // answer is lost on the line, it is asked again, a bounded number of
    // times.
    if (!bLost && m_nInfoAsked < m_Times.nInfoTries) {
        ++m_nInfoAsked;
        Trace(Format(L"[Device] COM%u: no device information %ls within %u ms; asked again (%u of %u)\r\n",
                     static_cast<unsigned>(m_btPort), m_eAsking == EAsking::Connection ? L"at connection" : L"after the update",
                     static_cast<unsigned>(m_Times.tInfoWait.count()), m_nInfoAsked, m_Times.nInfoTries));
        if (m_InFlight && m_InFlight->btCommand == Cmd::InfoRequest)
            m_InFlight.reset();
        m_tInfoDue = m_tNow + m_Times.tInfoWait;
        Queue(Cmd::InfoRequest, {m_btPort});
        SendNext();
        return;
    }
    const EAsking eWhy = m_eAsking;
    m_eAsking = EAsking::None;
    if (bLost)
        return;
    if (eWhy == EAsking::Connection) {
        // Given up: an answer that still comes must not announce a device
        // whose port is about to be closed.
        m_eLink = ELink::GaveUp;
        DropAll();
        Trace(Format(L"[Search] COM%u answered the probe but sent no information to %u requests; closed, "
                     L"searching on\r\n",
                     static_cast<unsigned>(m_btPort), m_Times.nInfoTries));
        return;
    }
    m_Versions = {};
    Notify(WM_DEVICE_REREAD, 0);
}

void CUpdateProtocol::OnDeviceInfo(const CReply& AReply)
{
    TakeAnswer(Cmd::InfoRequest);
    if (m_eLink != ELink::Asking && m_eLink != ELink::Ready) {
        SendNext();
        return;
    }
    m_Versions = AReply.Versions;
    const EAsking eWhy = m_eAsking;
    m_eAsking = EAsking::None;
    if (m_eLink == ELink::Asking) {
        m_eLink = ELink::Ready;
        Notify(WM_DEVICE_READY);
    } else if (eWhy == EAsking::Reread) {
        Notify(WM_DEVICE_REREAD, 1);
    }
    Queue(Cmd::ReadSettingsG);
    Queue(Cmd::ReadSettingsI);
    SendNext();
}

void CUpdateProtocol::OnSettings(const CReply& AReply)
{
    TakeAnswer(AReply.btAnswered);
    if (AReply.eKind == CReply::EKind::SettingsRefused) {
        SendNext();
        return;
    }
    // Once an update runs, block G holds the menu it writes, and so it does
    // from the moment a menu was handed over: a late answer to an earlier
    // read must not put the device's old menu in place of the driver's edit.
    if (!m_bRunning) {
        if (AReply.btAnswered == Cmd::ReadSettingsI)
            m_SettingsI = AReply.Block;
        else if (AReply.btAnswered == Cmd::ReadSettingsG && !m_bMenuHeld)
            m_SettingsG = AReply.Block;
        else if (AReply.btAnswered == Cmd::ReadSettingsG)
            Trace(L"[Device] the device's menu came while the driver's waits to be written; the driver's stays\r\n");
    }
    Notify(WM_SETTINGS_READ);
    SendNext();
}

void CUpdateProtocol::OnDeviceRequest()
{
    // The device asks the host to stop and acknowledge: what waited goes,
    // and the acknowledgement goes at once (nothing answers it).
    DropAll();
    Queue(Cmd::Acknowledge, {Cmd::DeviceRequest, 0x02}, ERole::Ack);
    SendNext();
    // An update waiting on the device for its stage (its start, its data)
    // cannot be whole now; one paused while the device restarts lost
    // nothing and goes on.
    if (m_bRunning && !m_PauseUntil)
        Fail(CUpdateFailure::EKind::Incomplete, L"the device asked to stop in the middle of the stage");
}

bool CUpdateProtocol::HandOverMenu(const CSettingsBlock& AEdited)
{
    const bool bAllZero = std::all_of(AEdited.begin(), AEdited.end(), [](std::uint8_t bt) { return bt == 0; });
    if (AEdited == m_SettingsG || bAllZero)
        return false;
    m_SettingsG = AEdited;
    m_bMenuHeld = true;
    m_bWriteSettings = true;
    return true;
}

std::optional<CSettingsBlock> CUpdateProtocol::GetMenuToWrite() const
{
    return m_bWriteSettings ? std::optional<CSettingsBlock>(m_SettingsG) : std::nullopt;
}

// ---------------------------------------------------------------- what happened

void CUpdateProtocol::OnReply(const CReply& AReply, CMillis tNow)
{
    m_tNow = tNow;
    switch (AReply.eKind) {
    case CReply::EKind::None: break;
    case CReply::EKind::DeviceInfo: OnDeviceInfo(AReply); break;
    case CReply::EKind::SettingsBlock:
    case CReply::EKind::SettingsRefused: OnSettings(AReply); break;
    case CReply::EKind::DeviceRequest: OnDeviceRequest(); break;
    case CReply::EKind::GoAhead: OnGoAhead(*AReply.pStage); break;
    case CReply::EKind::StartAccepted:
        // The firmware's start taken: its go-ahead follows.
        if (m_bRunning && m_nPendingStage == AReply.pStage->nStage && TakeAnswer(AReply.pStage->btStart))
            SendNext();
        break;
    case CReply::EKind::BlockAnswer: OnBlockAnswer(AReply); break;
    case CReply::EKind::EndAnswered: OnEndAnswered(AReply); break;
    }
}

void CUpdateProtocol::OnWritten(std::uint8_t btCommand, bool bWritten, CMillis tNow)
{
    m_tNow = tNow;
    if (!bWritten) {
        Trace(Format(L"[Serial] a frame of command %02X could not be written\r\n", btCommand));
        if (m_bRunning)
            Fail(CUpdateFailure::EKind::WriteFailed, L"a command could not be written");
        return;
    }
    if (!m_InFlight || m_InFlight->btCommand != btCommand)
        return;
    // The acknowledgement, and the end of a stage that ends when written,
    // are answered by their writing: nothing comes back for them.
    if (m_InFlight->eRole == ERole::Ack) {
        TakeAnswer(btCommand);
        SendNext();
        return;
    }
    if (const CStage* pStage = FindStage(m_nStage);
        m_InFlight->eRole == ERole::End && pStage != nullptr && pStage->bEndsWhenWritten && pStage->btEnd == btCommand)
        OnStageWritten(*pStage);
}

void CUpdateProtocol::OnPortLost(CMillis tNow)
{
    m_tNow = tNow;
    Trace(Format(L"[Device] COM%d is gone\r\n", static_cast<int>(m_btPort)));
    Fail(CUpdateFailure::EKind::Lost, L"the device was disconnected");
    DropAll();
    m_eLink = ELink::Lost;
    m_eAsking = EAsking::None;
    Notify(WM_DEVICE_LOST);
}

void CUpdateProtocol::OnTime(CMillis tNow)
{
    m_tNow = tNow;
    if (m_eAsking != EAsking::None && tNow >= m_tInfoDue)
        OnInfoDue();
    // A settings read the device leaves unanswered is given up, and what
    // waits behind it goes.
    if (m_InFlight && Cmd::IsSettingsRead(m_InFlight->btCommand) && tNow >= m_InFlight->tSent + m_Times.tTaskWait) {
        m_InFlight.reset();
        SendNext();
    }
    if (m_PauseUntil && tNow >= *m_PauseUntil) {
        m_PauseUntil.reset();
        m_tLastActivity = tNow;
        StartAfter(1);
    }
    if (m_bRunning && !m_PauseUntil && tNow - m_tLastActivity >= m_Times.tStallTimeout)
        Fail(CUpdateFailure::EKind::Silent, L"the device stopped answering");
}

// ---------------------------------------------------------------- the update

bool CUpdateProtocol::HasWork(const CStage& AStage) const
{
    return AStage.eImage == EImage::Menu ? GetMenuToWrite().has_value() : m_Images.GetTotal(AStage.eImage) > 0;
}

EStartResult CUpdateProtocol::StartUpdate(CMillis tNow)
{
    m_tNow = tNow;
    if (m_bRunning)
        return EStartResult::Running;
    if (m_eLink != ELink::Ready)
        return EStartResult::NotConnected;
    m_Failure = {};
    m_nFirmwareSent = -1;
    // The device read again after the last update has the line no more.
    if (m_eAsking == EAsking::Reread)
        m_eAsking = EAsking::None;
    if (RefuseDamaged())
        return EStartResult::Refused;
    const auto It = std::find_if(kStages.begin(), kStages.end(), [this](const CStage& A) { return HasWork(A); });
    if (It == kStages.end())
        return EStartResult::NothingToDo;
    if (HasWork(kStages[0]))
        m_nFirmwareSent = m_Images.GetFirmwareVersion();
    m_bRunning = true;
    m_LastFailure.reset();
    m_tLastActivity = tNow;
    QueueStart(*It);
    return EStartResult::Started;
}

bool CUpdateProtocol::RefuseDamaged()
{
    for (const CStage& AStage : kStages) {
        CLoadFault AFault;
        if (AStage.szFile == nullptr || !m_Images.FindDamage(AStage.eImage, AFault))
            continue;
        const std::wstring strFile = Widen(AStage.szFile);
        Trace(Format(L"[Update] %ls is damaged (%ls); nothing is sent\r\n", strFile.c_str(), AFault.wzWhy));
        m_Failure.eKind = CUpdateFailure::EKind::Damaged;
        m_Failure.nStage = AStage.nStage;
        m_Failure.strFile = strFile;
        m_Failure.AFault = AFault;
        NotifyFailed(AStage.nStage);
        return true;
    }
    return false;
}

void CUpdateProtocol::QueueStart(const CStage& AStage)
{
    m_nPendingStage = AStage.nStage;
    m_tLastActivity = m_tNow;
    if (AStage.eImage == EImage::Menu)
        Queue(AStage.btStart, CPayload(m_SettingsG.begin(), m_SettingsG.end()), ERole::Start);
    else
        Queue(AStage.btStart, m_Images.GetStartPayload(AStage.eImage), ERole::Start);
    SendNext();
}

void CUpdateProtocol::StartAfter(std::int32_t nEnded)
{
    if (!m_bRunning)
        return;
    for (const CStage& AStage : kStages) {
        if (AStage.nStage <= nEnded || !HasWork(AStage))
            continue;
        QueueStart(AStage);
        // The radar stage is announced as soon as its start is queued when
        // the sound stage ends before it (its go-ahead announces it again).
        if (AStage.eImage == EImage::Radar && nEnded == kStages[2].nStage) {
            SetStage(AStage.nStage);
            Notify(WM_STAGE_START, static_cast<std::uintptr_t>(m_nStage), static_cast<std::intptr_t>(m_dwTotal));
        }
        return;
    }
    Finish();
}

void CUpdateProtocol::Finish()
{
    m_bRunning = false;
    SetStage(kWholeUpdate);
    NotifyStageResult(0);
    // What the device now is: its versions are asked for again, as at
    // connection.
    if (m_eLink == ELink::Ready)
        AskInfo(EAsking::Reread);
}

void CUpdateProtocol::OnGoAhead(const CStage& AStage)
{
    // Only the go-ahead of the stage whose start was sent starts it: one the
    // host did not ask for, before, between or after updates, starts nothing.
    if (!m_bRunning || m_PauseUntil || AStage.nStage != m_nPendingStage ||
        (m_nStage == AStage.nStage && !m_bStageEnded && m_nNextData > 0)) {
        Trace(Format(L"go-ahead for stage %d while no update runs: ignored\r\n", static_cast<int>(AStage.nStage)));
        return;
    }
    DropAll();
    SetStage(AStage.nStage);
    Notify(WM_STAGE_START, static_cast<std::uintptr_t>(m_nStage), static_cast<std::intptr_t>(m_dwTotal));
    m_tLastActivity = m_tNow;
    Trace(Format(L"%ls PacketNum is:%ld\r\n", AStage.wzTraceName, static_cast<long>(m_dwTotal)));
    if (m_dwTotal == 0) {
        Fail(CUpdateFailure::EKind::NothingToSend, L"the image has nothing to send");
        return;
    }
    m_nNextData = 0;
    m_Queue.push_back({0, {}, ERole::Data, true});
    SendNext();
}

void CUpdateProtocol::OnBlockAnswer(const CReply& AReply)
{
    if (!AReply.bWritten) {
        // A failing status: the block stays in flight, and its status is
        // what a stall will be explained with.
        m_LastFailure = static_cast<std::uint16_t>(AReply.btAnswered << 8 | AReply.btStatus);
        return;
    }
    const bool bOurs = m_bRunning && AReply.pStage->nStage == m_nStage && !m_bStageEnded;
    if (!TakeAnswer(AReply.btAnswered))
        return;
    // The next frame goes before the window hears of this one: the device
    // works on it meanwhile.
    SendNext();
    if (bOurs) {
        ++m_dwDone;
        Notify(WM_PROGRESS, m_dwTotal, static_cast<std::intptr_t>(m_dwDone));
    }
}

void CUpdateProtocol::OnEndAnswered(const CReply& AReply)
{
    const CStage& AStage = *AReply.pStage;
    const bool bTaken = TakeAnswer(AReply.btAnswered);
    const bool bOurs = m_bRunning && bTaken &&
                       (AStage.eImage == EImage::Menu ? m_nPendingStage == AStage.nStage
                                                      : AStage.nStage == m_nStage && !m_bStageEnded);
    // The stages that end when their end is written have ended already.
    if (!bOurs || AStage.bEndsWhenWritten) {
        SendNext();
        return;
    }
    if (AStage.eImage == EImage::Menu) {
        // The menu written: it is the device's own now, and its stage and
        // the whole update end.
        m_bMenuHeld = false;
        SetStage(AStage.nStage);
        NotifyStageResult(0);
        Finish();
        return;
    }
    // The firmware's end is answered whatever its status; the device then
    // restarts into its new firmware, and nothing is sent until it has.
    NotifyStageResult(0);
    m_PauseUntil = m_tNow + m_Times.tFirmwarePause;
    if (m_Times.tFirmwarePause.count() <= 0)
        OnTime(m_tNow);
}

void CUpdateProtocol::OnStageWritten(const CStage& AStage)
{
    TakeAnswer(AStage.btEnd);
    if (!m_bRunning || m_bStageEnded)
        return;
    if (m_dwDone < m_dwTotal) {
        // A block the device never answered left a hole in what it wrote:
        // not a success.
        Fail(CUpdateFailure::EKind::Incomplete, L"the end command was written with blocks unanswered");
        return;
    }
    NotifyStageResult(0);
    StartAfter(AStage.nStage);
}

void CUpdateProtocol::Fail(CUpdateFailure::EKind eKind, const wchar_t* wzWhy)
{
    if (!m_bRunning)
        return;
    // A stage whose start was queued but never answered is the one that
    // failed; in the device's restart after its firmware, the one that was
    // to follow (none: the update as a whole).
    std::int32_t nStage = m_nStage;
    if (m_nPendingStage != 0 && m_nPendingStage != nStage)
        nStage = m_nPendingStage;
    if (m_PauseUntil) {
        const auto It = std::find_if(kStages.begin() + 1, kStages.end(), [this](const CStage& A) { return HasWork(A); });
        nStage = It != kStages.end() ? It->nStage : kWholeUpdate;
    }
    m_bRunning = false;
    const std::uint8_t btCommand = GetInFlight();
    DropAll();
    m_PauseUntil.reset();
    std::wstring strStatus;
    if (m_LastFailure) {
        strStatus = CDealMsg::GetStatusText(static_cast<std::uint8_t>(*m_LastFailure & 0xFF));
        if (!strStatus.empty() && strStatus.back() == L'\n')
            strStatus.pop_back();
    }
    Trace(Format(L"[Update] stage %d failed: %ls; command %02X unanswered%ls%ls\r\n", static_cast<int>(nStage), wzWhy,
                 btCommand, strStatus.empty() ? L"" : L"; the device answered: ", strStatus.c_str()));
    m_Failure = {};
    m_Failure.eKind = eKind;
    m_Failure.nStage = nStage;
    if (eKind == CUpdateFailure::EKind::Silent)
        m_Failure.strStatus = strStatus;
    NotifyFailed(nStage);
}

void CUpdateProtocol::SetStage(std::int32_t nStage)
{
    const CStage* pStage = FindStage(nStage);
    m_nStage = nStage;
    m_bStageEnded = false;
    m_dwDone = 0;
    m_nLastResult = 0;
    m_nNextData = 0;
    m_dwTotal = pStage == nullptr ? 0 : pStage->eImage == EImage::Menu ? 1 : m_Images.GetTotal(pStage->eImage);
}

void CUpdateProtocol::NotifyStageResult(std::int32_t nResult)
{
    m_nLastResult = nResult;
    m_bStageEnded = true;
    Notify(WM_STAGE_RESULT, static_cast<std::uintptr_t>(m_nStage), nResult);
}

void CUpdateProtocol::NotifyFailed(std::int32_t nStage)
{
    if (nStage != kWholeUpdate) {
        if (nStage != m_nStage)
            SetStage(nStage);
        NotifyStageResult(1);
    }
    SetStage(kWholeUpdate);
    NotifyStageResult(1);
}
