#include "UpdatePlan.h"

#include <algorithm>
#include <cmath>

#include "StagePlan.h"
#include "Stages.h"
#include "TextCatalog.h"
#include "UpdateImages.h"

CUpdatePlan CUpdatePlan::Make(const CUpdateImages& AImages, bool bMenu, std::uint32_t dwBaud, double dRestartSeconds)
{
    std::vector<CStep> Steps;
    for (const CStage& AStage : kStages) {
        if (AStage.eImage == EImage::Menu ? !bMenu : !AImages.HasData(AStage.eImage))
            continue;
        const CStagePlan APlan = PlanStage(AStage, AImages);
        CStep AStep;
        AStep.nStage = AStage.nStage;
        AStep.nUnits = APlan.nUnits;
        AStep.nFrames = AStage.eImage == EImage::Menu ? 1 : APlan.nUnits + 1 + (AStage.bEndsWhenWritten ? 0 : 1);
        AStep.dWireSeconds = APlan.GetWireSeconds(dwBaud);
        AStep.dPauseAfter = AStage.eImage == EImage::Project ? dRestartSeconds : 0.0;
        Steps.push_back(AStep);
    }
    return CUpdatePlan(std::move(Steps));
}

std::optional<double> CUpdatePlan::EstimateSecondsLeft(const CUpdateProgress& AProgress, double dElapsed) const
{
    const auto It = std::find_if(m_Steps.begin(), m_Steps.end(),
                                 [&](const CStep& A) { return A.nStage == AProgress.nStage; });
    if (It == m_Steps.end())
        return std::nullopt;
    // What has been done: the stages before this one whole, this one as far
    // as its units, and the pauses already waited.
    double dWireDone = 0.0, dPausesDone = 0.0, dFramesDone = 0.0;
    for (auto ADone = m_Steps.begin(); ADone != It; ++ADone) {
        dWireDone += ADone->dWireSeconds;
        dFramesDone += ADone->nFrames;
        dPausesDone += ADone->dPauseAfter;
    }
    const double dShare = AProgress.bStageEnded || It->nUnits == 0
                              ? 1.0
                              : std::min(1.0, static_cast<double>(AProgress.nDone) / It->nUnits);
    dWireDone += It->dWireSeconds * dShare;
    dFramesDone += It->nFrames * dShare;
    double dPauseLeft = It->dPauseAfter;
    if (AProgress.bStageEnded) {
        const double dPaused = std::clamp(dElapsed - AProgress.dEndedAt, 0.0, It->dPauseAfter);
        dPausesDone += dPaused;
        dPauseLeft -= dPaused;
    }
    if (dFramesDone < 1.0)
        return std::nullopt;
    double dWireLeft = 0.0, dFramesLeft = 0.0;
    for (auto ALeft = It; ALeft != m_Steps.end(); ++ALeft) {
        dWireLeft += ALeft->dWireSeconds;
        dFramesLeft += ALeft->nFrames;
        if (ALeft != It)
            dPauseLeft += ALeft->dPauseAfter;
    }
    dWireLeft -= It->dWireSeconds * dShare;
    dFramesLeft -= It->nFrames * dShare;
    // Each answered frame so far took this much beyond its share of the
    // line: the same is expected of each frame to come.
    const double dDelayPerFrame = std::max(0.0, (dElapsed - dPausesDone - dWireDone) / dFramesDone);
    return std::max(0.0, dWireLeft + dFramesLeft * dDelayPerFrame + dPauseLeft);
}

std::wstring FormatTimeLeft(double dSeconds, ELanguage eLanguage)
{
    if (dSeconds < 57.5) {
        const long nSeconds = std::max(5L, std::lround(dSeconds / 5.0) * 5);
        return FormatWideText(eLanguage, "Осталось около {1} с", {std::to_string(nSeconds)});
    }
    const long nMinutes = std::max(1L, std::lround(dSeconds / 60.0));
    return FormatWideText(eLanguage, "Осталось около {1} мин", {std::to_string(nMinutes)});
}
