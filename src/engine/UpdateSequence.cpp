#include "UpdateSequence.h"

#include "DealMsg.h"
#include "DebugPrint.h"
#include "Tick.h"

namespace {

// How often the update thread looks for a stall when no stage is requested.
constexpr std::uint32_t kWatchPeriodMs = 200;

} // namespace

CUpdateSequence::CUpdateSequence(CCommandQueue& AQueue, const CUpdateImages& AImages, CSequenceHost& AHost)
    : m_Queue(AQueue), m_Images(AImages), m_Host(AHost)
{
}

CUpdateSequence::~CUpdateSequence() { Stop(); }

void CUpdateSequence::Run()
{
    m_bStop = false;
    if (!m_Thread.joinable())
        m_Thread = std::thread([this] { Loop(); });
}

void CUpdateSequence::Stop()
{
    m_bStop = true;
    m_StageEvent.Set();
    if (m_Thread.joinable())
        m_Thread.join();
}

void CUpdateSequence::Interrupt() { m_PauseEnd.Set(); }

void CUpdateSequence::Resume() { m_PauseEnd.Reset(); }

// ---------------------------------------------------------------- progress

void CUpdateSequence::SetStage(std::int32_t nStage)
{
    const CStage* pStage = FindStage(nStage);
    m_nCurrentStage = nStage;
    m_dwAnsweredUnits = 0;
    m_nLastResult = 0;
    m_dwStageTotal = pStage == nullptr ? 0 : pStage->eImage == EImage::Menu ? 1 : m_Images.GetTotal(pStage->eImage);
}

void CUpdateSequence::NotifyStageStart()
{
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_STAGE_START, static_cast<std::uintptr_t>(m_nCurrentStage.load()),
                             static_cast<std::intptr_t>(m_dwStageTotal.load()));
}

void CUpdateSequence::NotifyProgress()
{
    const std::uint32_t dwDone = ++m_dwAnsweredUnits;
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_PROGRESS, m_dwStageTotal.load(), static_cast<std::intptr_t>(dwDone));
}

void CUpdateSequence::NotifyStageResult(std::int32_t nResult)
{
    m_nLastResult = nResult;
    if (CNotifyWindow* pWindow = m_pWindow)
        pWindow->SendMessage(WM_STAGE_RESULT, static_cast<std::uintptr_t>(m_nCurrentStage.load()),
                             static_cast<std::intptr_t>(nResult));
}

void CUpdateSequence::NotifyFailed(std::int32_t nStage)
{
    if (nStage != m_nCurrentStage)
        SetStage(nStage);
    NotifyStageResult(1);
    SetStage(kWholeUpdate);
    NotifyStageResult(1);
}

// ---------------------------------------------------------------- starting and ending stages

bool CUpdateSequence::HasWork(const CStage& AStage) const
{
    return AStage.eImage == EImage::Menu ? m_Host.GetMenuToWrite().has_value() : m_Images.HasData(AStage.eImage);
}

bool CUpdateSequence::Start()
{
    m_bEverStarted = true;
    SetFailure({});
    m_nFirmwareSent = -1;
    if (RefuseDamaged())
        return false;
    if (HasWork(kStages[0]))
        m_nFirmwareSent = m_Images.GetFirmwareVersion();
    for (const CStage& AStage : kStages) {
        if (!HasWork(AStage))
            continue;
        m_dwLastFailure = 0;
        m_nAnsweredSeen = m_Queue.GetAnswerCount();
        m_bInProgress = true;
        QueueStart(AStage);
        return true;
    }
    return false;
}

void CUpdateSequence::QueueStart(const CStage& AStage)
{
    m_nPendingStage = AStage.nStage;
    MarkActivity();
    if (AStage.eImage != EImage::Menu) {
        m_Queue.QueueFrame(AStage.btStart, m_Images.GetStartPayload(AStage.eImage));
    } else if (const std::optional<CSettingsBlock> AMenu = m_Host.GetMenuToWrite()) {
        m_Queue.QueueFrame(AStage.btStart, *AMenu);
    }
}

void CUpdateSequence::StartAfter(std::int32_t nEnded)
{
    if (!m_bInProgress)
        return;
    for (const CStage& AStage : kStages) {
        if (AStage.nStage <= nEnded || !HasWork(AStage))
            continue;
        QueueStart(AStage);
        // The radar stage is announced as soon as its start is queued when
        // the sound stage ends before it (its go-ahead announces it again).
        if (AStage.nStage == 4 && nEnded == 3) {
            SetStage(AStage.nStage);
            NotifyStageStart();
        }
        return;
    }
    Finish();
}

void CUpdateSequence::Finish()
{
    m_bInProgress = false;
    SetStage(kWholeUpdate);
    NotifyStageResult(0);
    // What the device now is: its versions are asked for again, on the
    // update thread, which may wait for the answer.
    m_bRereadWanted = true;
    m_StageEvent.Set();
}

void CUpdateSequence::OnGoAhead(const CStage& AStage)
{
    m_Queue.DropAll();
    if (!IsOpen()) {
        DebugPrint(L"go-ahead for stage %d while no update runs: ignored\r\n", static_cast<int>(AStage.nStage));
        return;
    }
    SetStage(AStage.nStage);
    NotifyStageStart();
    MarkActivity();
    m_StageLock.Lock();
    m_StageRequests.push_back(AStage.nStage);
    m_StageLock.Unlock();
    m_StageEvent.Set();
}

void CUpdateSequence::OnStartAccepted() { m_Queue.DropAll(); }

void CUpdateSequence::OnBlockAnswer(const CStage& /*AStage*/, std::uint8_t btAnswered, std::uint8_t btStatus,
                                    bool bWritten)
{
    if (!bWritten) {
        m_dwLastFailure = (static_cast<std::uint32_t>(btAnswered) << 8) | btStatus | 0x10000u;
        return;
    }
    m_Queue.TakeAnswer(btAnswered);
    // A late answer after an update has ended (or failed) is no progress of
    // anything the window shows.
    if (IsOpen())
        NotifyProgress();
}

void CUpdateSequence::OnEndAnswered(const CStage& AStage, std::uint8_t btAnswered)
{
    m_Queue.TakeAnswer(btAnswered);
    // The stages that end when their end is written have ended already.
    if (AStage.bEndsWhenWritten || !IsOpen())
        return;
    if (AStage.eImage == EImage::Menu) {
        // The menu written: its stage and the whole update end.
        m_Host.OnMenuWritten();
        SetStage(AStage.nStage);
        NotifyStageResult(0);
        Finish();
        return;
    }
    // The firmware's end is answered whatever its status.
    NotifyStageResult(0);
    OnProjectEnded();
}

void CUpdateSequence::RunStage(std::int32_t nStage)
{
    const CStage* pStage = FindStage(nStage);
    if (pStage == nullptr || pStage->btBlock == 0)
        return;
    if (!m_Images.QueueStage(*pStage, m_Queue))
        Fail(CUpdateFailure::EKind::NothingToSend, L"the image has nothing to send");
}

void CUpdateSequence::OnProjectEnded()
{
    if (!m_bInProgress)
        return;
    // The device restarts into its new firmware; the pause holds this (the
    // read) thread, as the device expects nothing meanwhile.
    m_bPaused = true;
    const bool bInterrupted = m_PauseEnd.Wait(m_Times.dwFirmwarePause);
    m_bPaused = false;
    MarkActivity();
    if (!bInterrupted)
        StartAfter(1);
}

void CUpdateSequence::OnEndWritten(std::uint8_t btEndCommand, bool bWritten)
{
    const CStage* pStage = FindStageBy(&CStage::btEnd, btEndCommand);
    if (pStage == nullptr || !pStage->bEndsWhenWritten)
        return;
    const std::int32_t nStage = pStage->nStage;
    RunAfterReply([this, nStage, bWritten] {
        if (!bWritten && m_bInProgress) {
            Fail(CUpdateFailure::EKind::WriteFailed, L"the end command could not be written");
        } else if (m_bInProgress && m_dwAnsweredUnits < m_dwStageTotal) {
            // A block dropped from the queue unanswered (a device request
            // clears the queue while the stage may still be being queued)
            // left a hole in what the device wrote: not a success.
            Fail(CUpdateFailure::EKind::Incomplete, L"the end command was written with blocks unanswered");
        } else if (IsOpen()) {
            NotifyStageResult(0);
            StartAfter(nStage);
        }
    });
}

// ---------------------------------------------------------------- failures

bool CUpdateSequence::RefuseDamaged()
{
    for (const CStage& AStage : kStages) {
        CLoadFault AFault;
        if (AStage.szFile == nullptr || !m_Images.FindDamage(AStage.eImage, AFault))
            continue;
        const std::wstring strFile(AStage.szFile, AStage.szFile + std::char_traits<char>::length(AStage.szFile));
        DebugPrint(L"[Update] %ls is damaged (%ls); nothing is sent\r\n", strFile.c_str(), AFault.wzWhy);
        CUpdateFailure AFailure;
        AFailure.eKind = CUpdateFailure::EKind::Damaged;
        AFailure.nStage = AStage.nStage;
        AFailure.strFile = strFile;
        AFailure.AFault = AFault;
        SetFailure(std::move(AFailure));
        NotifyFailed(AStage.nStage);
        return true;
    }
    return false;
}

void CUpdateSequence::Fail(CUpdateFailure::EKind eKind, const wchar_t* wzWhy)
{
    if (!m_bInProgress.exchange(false))
        return;
    const std::uint8_t btCommand = m_Queue.GetInFlight();
    m_Queue.DropAll();
    std::wstring strStatus;
    if (const std::uint32_t dwFailure = m_dwLastFailure; dwFailure != 0) {
        strStatus = CDealMsg::GetStatusText(static_cast<std::uint8_t>(dwFailure & 0xFF));
        if (!strStatus.empty() && strStatus.back() == L'\n')
            strStatus.pop_back();
    }
    // A stage whose start was queued but never answered is the one that failed.
    std::int32_t nStage = m_nCurrentStage;
    if (m_nPendingStage != 0 && m_nPendingStage != nStage)
        nStage = m_nPendingStage;
    DebugPrint(L"[Update] stage %d failed: %ls; command %02X unanswered%ls%ls\r\n", static_cast<int>(nStage), wzWhy,
               btCommand, strStatus.empty() ? L"" : L"; the device answered: ", strStatus.c_str());
    CUpdateFailure AFailure;
    AFailure.eKind = eKind;
    AFailure.nStage = nStage;
    if (eKind == CUpdateFailure::EKind::Silent)
        AFailure.strStatus = strStatus;
    SetFailure(std::move(AFailure));
    NotifyFailed(nStage);
}

void CUpdateSequence::SetFailure(CUpdateFailure AFailure)
{
    std::lock_guard<std::mutex> ALock(m_FailureLock);
    m_Failure = std::move(AFailure);
}

CUpdateFailure CUpdateSequence::GetFailure() const
{
    std::lock_guard<std::mutex> ALock(m_FailureLock);
    return m_Failure;
}

// ---------------------------------------------------------------- the update thread

void CUpdateSequence::Loop()
{
    while (!m_bStop) {
        const bool bSignalled = m_StageEvent.Wait(kWatchPeriodMs);
        if (m_bStop)
            break;
        while (bSignalled) {
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
        if (m_bRereadWanted.exchange(false))
            m_Host.RereadDevice();
        CheckStall();
    }
}

void CUpdateSequence::MarkActivity() { m_dwLastActivity = GetTickCount(); }

void CUpdateSequence::CheckStall()
{
    if (!m_bInProgress || m_bPaused)
        return;
    const std::uint64_t nAnswered = m_Queue.GetAnswerCount();
    if (nAnswered != m_nAnsweredSeen) {
        m_nAnsweredSeen = nAnswered;
        MarkActivity();
        return;
    }
    // A late answer may be in the middle of its reply right now: the
    // failure then waits until that reply's progress has been notified.
    if (GetTickCount() - m_dwLastActivity >= m_Times.dwStallTimeout)
        RunAfterReply([this] { Fail(CUpdateFailure::EKind::Silent, L"the device stopped answering"); });
}

// ---------------------------------------------------------------- stage ends after the reply

void CUpdateSequence::BeginReply()
{
    std::lock_guard<std::mutex> ALock(m_ReplyLock);
    m_bInReply = true;
}

void CUpdateSequence::EndReply()
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

void CUpdateSequence::RunAfterReply(std::function<void()> Action)
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
