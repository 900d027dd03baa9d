#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "UpdatePlan.h"

// One update as a front end saw it: when each stage began and ended, how
// many units the device answered, each result and the whole update's; and
// the time left, estimated from the update's plan and its progress so far.
// It takes the worker's notifications as the front end handles them, with
// the moment it handles them, so that a test can give it any clock.
// Threads: the front end's, alone.
class CUpdateJournal {
public:
    using ASteady = std::chrono::steady_clock;
    using AWall = std::chrono::system_clock;

    struct CStageRecord {
        std::int32_t nStage = 0;
        AWall::time_point tStarted;
        double dSeconds = 0.0;  // until its result
        std::uint32_t nDone = 0;
        std::uint32_t nTotal = 0;
        std::optional<std::int32_t> Result;
    };

    // An update starts now (the click, the start command queued).
    void Begin(CUpdatePlan APlan, ASteady::time_point tNow);
    void OnNotification(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam, ASteady::time_point tNow);

    bool HasBegun() const { return m_bBegun; }
    bool IsRunning() const { return m_bBegun && !m_Result; }
    // The whole update's result, once it came.
    std::optional<std::int32_t> GetResult() const { return m_Result; }
    AWall::time_point GetStarted() const { return m_tWallStart; }
    double GetSeconds(ASteady::time_point tNow) const;
    const std::vector<CStageRecord>& GetStages() const { return m_Stages; }
    // The seconds left while the update runs, once something was answered.
    std::optional<double> GetSecondsLeft(ASteady::time_point tNow) const;

private:
    void OnStageStart(std::int32_t nStage, std::uint32_t dwTotal, ASteady::time_point tNow);
    void OnStageResult(std::int32_t nStage, std::int32_t nResult, ASteady::time_point tNow);

    CUpdatePlan m_Plan;
    bool m_bBegun = false;
    ASteady::time_point m_tStart;
    AWall::time_point m_tWallStart;
    std::vector<CStageRecord> m_Stages;
    CUpdateProgress m_Progress;
    std::optional<std::int32_t> m_Result;
};
