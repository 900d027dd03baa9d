#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Language.h"

class CUpdateImages;

// How far an update has come, as its notifications tell it: the stage
// running (or last ended), the units the device answered in it, and when
// it ended, in seconds since the update started.
struct CUpdateProgress {
    std::int32_t nStage = 0; // 0 before the first stage began
    std::uint32_t nDone = 0;
    bool bStageEnded = false;
    double dEndedAt = 0.0;
};

// What an update will put on the line, stage by stage, and how long that
// takes: each stage's data frames and line time at the device's rate, and
// the device's own pause after it (the firmware's restart). From it and
// the progress so far the time left is estimated.
class CUpdatePlan {
public:
    struct CStep {
        std::int32_t nStage = 0;
        std::uint32_t nFrames = 0;   // frames with an answer: start, data (and the end when answered)
        std::uint32_t nUnits = 0;    // the units the progress counts
        double dWireSeconds = 0.0;
        double dPauseAfter = 0.0;
    };

    CUpdatePlan() = default;
    explicit CUpdatePlan(std::vector<CStep> Steps) : m_Steps(std::move(Steps)) {}
    // The stages an update of these images (and of the menu, when bMenu)
    // runs; the firmware is followed by the device's restart.
    static CUpdatePlan Make(const CUpdateImages& AImages, bool bMenu, std::uint32_t dwBaud, double dRestartSeconds);

    const std::vector<CStep>& GetSteps() const { return m_Steps; }
    // The seconds left after dElapsed seconds with this progress: the line
    // time still to come plus, for each frame still to be answered, the
    // delay each answered frame has taken beyond its line time so far (an
    // adapter's latency, the device's own work), plus the pauses to come.
    // None before anything was answered, when nothing can be measured yet.
    std::optional<double> EstimateSecondsLeft(const CUpdateProgress& AProgress, double dElapsed) const;

private:
    std::vector<CStep> m_Steps;
};

// "Осталось около 25 с" (under a minute, in 5 s steps) or "Осталось около
// 3 мин"; in English "About 25 s left", "About 3 min left".
std::wstring FormatTimeLeft(double dSeconds, ELanguage eLanguage);
