// The window layer: the caption hit test, the bridge to worker threads,
// and skins that lack controls.
#include <fstream>
#include <future>
#include <random>
#include <gtest/gtest.h>
#include <thread>

#include "Frame_Set.h"
#include "HitTest.h"
#include "SingleInstance.h"
#include "StageText.h"
#include "UiTestKit.h"

using namespace std::chrono_literals;

namespace {

struct CHitRow {
    int x, y;
    const char* szClass;
    bool bZoomed;
    int nExpected;
};

constexpr std::string_view aUpdateKeeps[] = {"ButtonUI", "OptionUI", "SliderUI", "EditUI", "RichEditUI", "ComboUI"};

void WriteText(const std::filesystem::path& Path, const char* szText) { std::ofstream(Path) << szText; }

} // namespace

class WindowBase : public CWindowTest {};

TEST(HitTest, EdgesResizeTheCaptionDragsControlsKeepTheirClicks)
{
    // A 400 x 300 client area, a 4-pixel size box, a 50-pixel caption.
    for (const CHitRow& ARow : {
             CHitRow{2, 2, "LabelUI", false, HTTOPLEFT},     {200, 2, "LabelUI", false, HTTOP},
             {398, 2, "", false, HTTOPRIGHT},                {2, 150, "", false, HTLEFT},
             {397, 150, "", false, HTRIGHT},                 {396, 150, "", false, HTCLIENT},
             {200, 297, "", false, HTBOTTOM},                {2, 298, "", false, HTBOTTOMLEFT},
             {398, 298, "", false, HTBOTTOMRIGHT},           {200, 20, "LabelUI", false, HTCAPTION},
             {200, 20, "ButtonUI", false, HTCLIENT},         {200, 20, "comboui", false, HTCLIENT},
             {200, 20, "CheckBoxUI", false, HTCAPTION},      {200, 20, "", false, HTCLIENT},
             {200, 50, "LabelUI", false, HTCLIENT},          {2, 2, "LabelUI", true, HTCAPTION},
             {200, 297, "LabelUI", true, HTCLIENT},
         }) {
        const CHitTestInput AInput{{ARow.x, ARow.y}, {0, 0, 400, 300}, {4, 4, 4, 4}, {0, 0, 0, 50}, ARow.bZoomed,
                                   QString::fromLatin1(ARow.szClass)};
        EXPECT_EQ(CalcHitTest(AInput, aUpdateKeeps), ARow.nExpected) << ARow.x << "," << ARow.y << " " << ARow.szClass;
    }
}

TEST_F(WindowBase, TheRealSkinsCaptionDragsButNotOnItsButton)
{
    const CFrame_Update& AFrame = *m_Program.pFrame;
    auto Centre = [&](const char* szName) {
        const QWidget* pControl = AFrame.FindControl(szName);
        return pControl->mapTo(&AFrame, pControl->rect().center());
    };
    EXPECT_EQ(AFrame.OnNcHitTest(Centre("lbl_title")), HTCAPTION);
    EXPECT_EQ(AFrame.OnNcHitTest(Centre("btn_min")), HTCLIENT);
    EXPECT_EQ(AFrame.OnNcHitTest(Centre("btn_cancel")), HTCLIENT);
}

TEST_F(WindowBase, TheBridgeHoldsTheSenderUntilHandledAndClosingReleasesIt)
{
    std::atomic<bool> bReturned{false};
    std::thread AWorker([&] {
        m_Program.ABridge.SendMessage(WM_STAGE_START, 3, 10);
        bReturned = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(bReturned) << "the sender waits for the GUI thread";
    EXPECT_TRUE(WaitUntil([&] { return bReturned.load(); }));
    AWorker.join();
    EXPECT_EQ(TextOf(*m_Program.pFrame, "lbl_status"), QString::fromStdWString(GetStageText(3, EStageText::Running, ELanguage::Russian)));

    // The GUI thread shuts down without running its events: a waiting
    // sender must not keep it waiting.
    auto AWaiting = std::async(std::launch::async, [&] { return m_Program.ABridge.SendMessage(WM_STAGE_START, 4, 1); });
    std::this_thread::sleep_for(50ms);
    m_Program.ABridge.Close();
    ASSERT_EQ(AWaiting.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(AWaiting.get(), 0);
    WaitUntil([] { return false; }, 100ms);  // the queued delivery now finds the bridge closed
    EXPECT_EQ(TextOf(*m_Program.pFrame, "lbl_status"), QString::fromStdWString(GetStageText(3, EStageText::Running, ELanguage::Russian)));
}

TEST(WindowSkin, ASkinWithoutMostControlsStillRuns)
{
    CTempPortDir APorts;
    CUpdateFolder AFiles;
    const std::filesystem::path ASkins = AFiles.GetPath() / "Skin";
    std::filesystem::create_directory(ASkins);
    WriteText(ASkins / "frame_Update.xml", R"(<ui version="4.0"><widget class="QWidget" name="root">
        <layout class="QVBoxLayout" name="l"><item><widget class="QPushButton" name="btn_update"/></item>
        <item><widget class="QLabel" name="lbl_progress"/></item></layout></widget></ui>)");
    WriteText(ASkins / "Frame_Set.xml", R"(<ui version="4.0"><widget class="QWidget" name="root">
        <layout class="QVBoxLayout" name="l"><item><widget class="QComboBox" name="como_frame1_content_2_2"/></item>
        <item><widget class="QPushButton" name="option_frame_1_3"/></item>
        <item><widget class="QPushButton" name="btn_ok"/></item></layout></widget></ui>)");

    CUiProgram AProgram(AFiles.GetPath(), CEngine::Fast(), ASkins);
    ASSERT_TRUE(AProgram.Open());
    for (const auto& [uMsg, w, l] : std::initializer_list<std::tuple<std::uint32_t, std::uintptr_t, std::intptr_t>>{
             {WM_DEVICE_READY, 0, 0}, {WM_SETTINGS_READ, 0, 0}, {WM_STAGE_START, 2, 10}, {WM_PROGRESS, 10, 3},
             {WM_TIMER, CFrame_Update::kTimerElapsed, 0}, {WM_STAGE_RESULT, 6, 1}, {WM_DEVICE_LOST, 0, 0}})
        AProgram.pFrame->HandleMessage(uMsg, w, l);
    EXPECT_EQ(TextOf(*AProgram.pFrame, "lbl_progress"), "") << "the result cleared the percentage";
    Click(*AProgram.pFrame, "btn_update");
    EXPECT_FALSE(AProgram.pFrame->IsUpdating());

    AProgram.AData.aSharedSettings.fill(0);
    CFrame_Set ASet(L"Frame_Set.xml", AProgram.AData, {}, {});
    ASSERT_TRUE(ASet.Create(nullptr, QStringLiteral("IAP Tool")));
    Pick(ASet, "como_frame1_content_2_2", 4);
    Click(ASet, "option_frame_1_3");  // four page options are missing: no page change
    Click(ASet, "btn_ok");
    CSettingsBlock aExpected{};
    aExpected[26] = 4;
    aExpected[61] = 0;  // the check boxes are missing and keep their bytes
    EXPECT_EQ(AProgram.AData.aSharedSettings, aExpected);
}

// One copy at a time, as each platform keeps the rule (the named mutex on
// Windows, a lock file elsewhere): a second holder of the same name is not
// first until the first lets go.
TEST(SingleInstance, ASecondHolderWaitsUntilTheFirstLetsGo)
{
    const std::wstring strName = L"{iap-test-" + std::to_wstring(std::random_device()()) + L"}";
    CSingleInstance AFirst(strName);
    ASSERT_TRUE(AFirst.IsFirst());
    {
        CSingleInstance ASecond(strName);
        EXPECT_FALSE(ASecond.IsFirst());
    }
    AFirst.Release();
    CSingleInstance AThird(strName);
    EXPECT_TRUE(AThird.IsFirst());
}
