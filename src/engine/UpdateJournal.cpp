#include "UpdateJournal.h"

#include "NotifyWindow.h"
#include "Stages.h"

void CUpdateJournal::Begin(CUpdatePlan APlan, ASteady::time_point tNow)
{
    *this = CUpdateJournal();
    m_Plan = std::move(APlan);
    m_bBegun = true;
    m_tStart = tNow;
    m_tWallStart = AWall::now();
}

double CUpdateJournal::GetSeconds(ASteady::time_point tNow) const
{
    return m_bBegun ? std::chrono::duration<double>(tNow - m_tStart).count() : 0.0;
}

void CUpdateJournal::OnNotification(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam,
                                    ASteady::time_point tNow)
{
    if (!IsRunning())
        return;
    switch (uMessage) {
    case WM_STAGE_START:
        OnStageStart(static_cast<std::int32_t>(wParam), static_cast<std::uint32_t>(lParam), tNow);
        break;
    case WM_PROGRESS:
        if (!m_Stages.empty() && !m_Stages.back().Result) {
            m_Stages.back().nTotal = static_cast<std::uint32_t>(wParam);
            m_Stages.back().nDone = static_cast<std::uint32_t>(lParam);
            m_Progress.nDone = static_cast<std::uint32_t>(lParam);
        }
        break;
    case WM_STAGE_RESULT:
        OnStageResult(static_cast<std::int32_t>(wParam), static_cast<std::int32_t>(lParam), tNow);
        break;
    default: break;
    }
}

void CUpdateJournal::OnStageStart(std::int32_t nStage, std::uint32_t dwTotal, ASteady::time_point tNow)
{
    if (FindStage(nStage) == nullptr)
        return;
    // A stage announced twice (the radar's, when the sound stage ends and
    // on its go-ahead) began at the first.
    if (m_Stages.empty() || m_Stages.back().nStage != nStage || m_Stages.back().Result) {
        CStageRecord ARecord;
        ARecord.nStage = nStage;
        ARecord.tStarted = m_tWallStart + std::chrono::duration_cast<AWall::duration>(tNow - m_tStart);
        m_Stages.push_back(ARecord);
    }
    m_Stages.back().nTotal = dwTotal;
    m_Progress = {nStage, 0, false, 0.0};
}

void CUpdateJournal::OnStageResult(std::int32_t nStage, std::int32_t nResult, ASteady::time_point tNow)
{
    if (nStage == kWholeUpdate) {
        m_Result = nResult;
        return;
    }
    if (FindStage(nStage) == nullptr)
        return;
    // A stage without a start of its own (the menu's; one refused before
    // it began) began where the one before it ended.
    if (m_Stages.empty() || m_Stages.back().nStage != nStage || m_Stages.back().Result) {
        CStageRecord ARecord;
        ARecord.nStage = nStage;
        ARecord.tStarted = m_Stages.empty() ? m_tWallStart
                                            : m_Stages.back().tStarted +
                                                  std::chrono::duration_cast<AWall::duration>(
                                                      std::chrono::duration<double>(m_Stages.back().dSeconds));
        m_Stages.push_back(ARecord);
    }
    CStageRecord& ARecord = m_Stages.back();
    ARecord.Result = nResult;
    // The menu's stage counts no progress: its one unit is its answer.
    if (ARecord.nTotal == 0)
        for (const CUpdatePlan::CStep& AStep : m_Plan.GetSteps())
            if (AStep.nStage == nStage) {
                ARecord.nTotal = AStep.nUnits;
                ARecord.nDone = nResult == 0 ? AStep.nUnits : 0;
            }
    const auto tStartedSteady =
        m_tStart + std::chrono::duration_cast<ASteady::duration>(ARecord.tStarted - m_tWallStart);
    ARecord.dSeconds = std::max(0.0, std::chrono::duration<double>(tNow - tStartedSteady).count());
    m_Progress = {nStage, ARecord.nDone, true, GetSeconds(tNow)};
}

std::optional<double> CUpdateJournal::GetSecondsLeft(ASteady::time_point tNow) const
{
    if (!IsRunning())
        return std::nullopt;
    return m_Plan.EstimateSecondsLeft(m_Progress, GetSeconds(tNow));
}
