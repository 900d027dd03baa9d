// The time left the window and iap-cli show, from an update's plan and its
// progress. The sample update is played on a fake clock, each answered
// frame taking its line time (a paced line) or 16 ms more (answers held
// back, as a slow adapter's latency does), and the estimate a quarter of
// the way through is held against what is then really left.
#include <gtest/gtest.h>

#include "EngineTestKit.h"
#include "UpdateImages.h"
#include "UpdateJournal.h"

namespace {

using ASteady = std::chrono::steady_clock;

ASteady::time_point At(double dSeconds)
{
    return ASteady::time_point(std::chrono::duration_cast<ASteady::duration>(std::chrono::duration<double>(dSeconds)));
}

struct CPace {
    const char* szName;
    double dHeldBack; // seconds each answer comes later than the line allows
};

class TimeLeft : public testing::TestWithParam<CPace> {};

} // namespace

TEST_P(TimeLeft, AQuarterOfTheWayTheEstimateIsWithinAFifthOfWhatIsLeft)
{
    CUpdateFolder AFiles;
    AFiles.Write("AC7811_project.hex", MakeHex(0x08000000, RandomBytes(16384, 1), "0102"));
    AFiles.Write("flagdata.bin", RandomBytes(131072, 2));
    AFiles.Write("audioHead.bin", RandomBytes(65536, 3));
    AFiles.Write("rdfw.bin", RandomBytes(70000, 4));
    CUpdateImages AImages;
    AImages.Load(AFiles.GetPath() / "");
    const CUpdatePlan APlan = CUpdatePlan::Make(AImages, true, 256000, 10.0);
    ASSERT_EQ(APlan.GetSteps().size(), 5u);

    // The notifications the update sends, with the moment each comes.
    struct CEvent {
        double dAt;
        std::uint32_t uMessage;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    std::vector<CEvent> Events;
    double dNow = 0.0;
    for (const CUpdatePlan::CStep& AStep : APlan.GetSteps()) {
        const double dFrame = AStep.dWireSeconds / AStep.nFrames + GetParam().dHeldBack;
        dNow += dFrame;  // the start and its go-ahead
        Events.push_back({dNow, WM_STAGE_START, static_cast<std::uintptr_t>(AStep.nStage), AStep.nUnits});
        for (std::uint32_t n = 1; n <= AStep.nUnits; ++n)
            Events.push_back({dNow += dFrame, WM_PROGRESS, AStep.nUnits, static_cast<std::intptr_t>(n)});
        dNow += dFrame * std::max(0, static_cast<int>(AStep.nFrames) - static_cast<int>(AStep.nUnits) - 1);
        Events.push_back({dNow, WM_STAGE_RESULT, static_cast<std::uintptr_t>(AStep.nStage), 0});
        dNow += AStep.dPauseAfter;
    }
    const double dTotal = dNow;
    const double dQuarter = dTotal / 4;

    CUpdateJournal AJournal;
    AJournal.Begin(APlan, At(0.0));
    for (const CEvent& AEvent : Events)
        if (AEvent.dAt <= dQuarter)
            AJournal.OnNotification(AEvent.uMessage, AEvent.wParam, AEvent.lParam, At(AEvent.dAt));
    const std::optional<double> Estimate = AJournal.GetSecondsLeft(At(dQuarter));
    ASSERT_TRUE(Estimate.has_value());
    const double dLeft = dTotal - dQuarter;
    EXPECT_NEAR(*Estimate, dLeft, std::max(0.2 * dLeft, 3.0)) << "the update takes " << dTotal << " s";
}

INSTANTIATE_TEST_SUITE_P(Pace, TimeLeft,
                         testing::Values(CPace{"paced", 0.0}, CPace{"answers_held_back_16_ms", 0.016}),
                         [](const auto& AInfo) { return std::string(AInfo.param.szName); });

TEST(TimeLeft, ShownInFiveSecondStepsUnderAMinuteThenInMinutes)
{
    const std::pair<double, const wchar_t*> Rows[] = {
        {1.0, L"Осталось около 5 с"},    {22.4, L"Осталось около 20 с"}, {23.0, L"Осталось около 25 с"},
        {57.0, L"Осталось около 55 с"},  {58.0, L"Осталось около 1 мин"}, {149.0, L"Осталось около 2 мин"},
        {151.0, L"Осталось около 3 мин"}};
    for (const auto& [dSeconds, wzText] : Rows)
        EXPECT_EQ(FormatTimeLeft(dSeconds, ELanguage::Russian), wzText) << dSeconds;
    EXPECT_EQ(FormatTimeLeft(22.4, ELanguage::English), L"About 20 s left");
    EXPECT_EQ(FormatTimeLeft(151.0, ELanguage::English), L"About 3 min left");
}
