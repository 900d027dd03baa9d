// The window layer: the caption hit test, skins that lack controls, and
// the single-instance rule of the program.
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "Frame_Set.h"
#include "HitTest.h"
#include "StageText.h"
#include "UiTestKit.h"

extern char** environ;
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

TEST(WindowBase, TheRealSkinsCaptionDragsButNotOnItsButton)
{
    CTempPortDir APorts;
    CUpdateFolder AFiles;
    CUiProgram AProgram(AFiles);
    ASSERT_TRUE(AProgram.Open());
    const CFrame_Update& AFrame = *AProgram.pFrame;
    auto Centre = [&](const char* szName) {
        const QWidget* pControl = AFrame.FindControl(szName);
        return pControl->mapTo(&AFrame, pControl->rect().center());
    };
    EXPECT_EQ(AFrame.OnNcHitTest(Centre("lbl_title")), HTCAPTION);
    EXPECT_EQ(AFrame.OnNcHitTest(Centre("btn_min")), HTCLIENT);
    EXPECT_EQ(AFrame.OnNcHitTest(Centre("btn_cancel")), HTCLIENT);
}

TEST(WindowBase, TheBridgeHoldsTheSenderUntilHandledAndClosingReleasesIt)
{
    CTempPortDir APorts;
    CUpdateFolder AFiles;
    CUiProgram AProgram(AFiles);
    ASSERT_TRUE(AProgram.Open());
    std::atomic<bool> bReturned{false};
    std::thread AWorker([&] {
        AProgram.ABridge.SendMessage(WM_STAGE_START, 3, 10);
        bReturned = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(bReturned) << "the sender waits for the GUI thread";
    EXPECT_TRUE(WaitUntil([&] { return bReturned.load(); }));
    AWorker.join();
    EXPECT_EQ(TextOf(*AProgram.pFrame, "lbl_status"), QString::fromWCharArray(GetStageText(3, EStageText::Running)));

    // The GUI thread shuts down without running its events: a waiting
    // sender must not keep it waiting.
    auto AWaiting = std::async(std::launch::async, [&] { return AProgram.ABridge.SendMessage(WM_STAGE_START, 4, 1); });
    std::this_thread::sleep_for(50ms);
    AProgram.ABridge.Close();
    ASSERT_EQ(AWaiting.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(AWaiting.get(), 0);
    WaitUntil([] { return false; }, 100ms);  // the queued delivery now finds the bridge closed
    EXPECT_EQ(TextOf(*AProgram.pFrame, "lbl_status"), QString::fromWCharArray(GetStageText(3, EStageText::Running)));
}

TEST(WindowBase, ASkinWithoutMostControlsStillRuns)
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

    CUiProgram AProgram(AFiles, CEngine::Fast(), ASkins);
    ASSERT_TRUE(AProgram.Open());
    for (const auto& [uMsg, w, l] : std::initializer_list<std::tuple<std::uint32_t, std::uintptr_t, std::intptr_t>>{
             {WM_DEVICE_READY, 0, 0}, {WM_SETTINGS_READ, 0, 0}, {WM_STAGE_START, 2, 10}, {WM_PROGRESS, 10, 3},
             {WM_TIMER, CFrame_Update::kTimerElapsed, 0}, {WM_STAGE_RESULT, 6, 1}, {WM_DEVICE_LOST, 0, 0}})
        AProgram.pFrame->HandleMessage(uMsg, w, l);
    EXPECT_EQ(TextOf(*AProgram.pFrame, "lbl_progress"), "") << "the result cleared the percentage";
    Click(*AProgram.pFrame, "btn_update");
    EXPECT_FALSE(AProgram.pFrame->IsUpdating());

    AProgram.AData.aSharedSettings.fill(0);
    CFrame_Set ASet(L"Frame_Set.xml", AProgram.AData);
    ASSERT_TRUE(ASet.Create(nullptr, QStringLiteral("IAP Tool")));
    Pick(ASet, "como_frame1_content_2_2", 4);
    Click(ASet, "option_frame_1_3");  // four page options are missing: no page change
    Click(ASet, "btn_ok");
    CSettingsBlock aExpected{};
    aExpected[26] = 4;
    aExpected[61] = 0;  // the check boxes are missing and keep their bytes
    EXPECT_EQ(AProgram.AData.aSharedSettings, aExpected);
}

TEST(Program, ASecondCopyEndsAtOnceWithExitCodeZero)
{
    CTempPortDir APorts;
    CUpdateFolder ARuntime;
    ::chmod(ARuntime.GetPath().c_str(), 0700);
    const std::string strRuntime = "XDG_RUNTIME_DIR=" + ARuntime.GetPath().string();
    std::vector<std::string> aEnv = {strRuntime, "QT_QPA_PLATFORM=offscreen",
                                     std::string("IAP_PORT_DIR=") + ::getenv("IAP_PORT_DIR")};
    std::vector<char*> aEnvp;
    for (std::string& str : aEnv)
        aEnvp.push_back(str.data());
    aEnvp.push_back(nullptr);
    char szTool[] = IAP_TOOL_PATH;
    char* aArgv[] = {szTool, nullptr};
    auto Start = [&] {
        pid_t nPid = 0;
        EXPECT_EQ(::posix_spawn(&nPid, szTool, nullptr, nullptr, aArgv, aEnvp.data()), 0);
        return nPid;
    };
    auto WaitExit = [](pid_t nPid, std::chrono::milliseconds tLimit, int& nStatus) {
        const auto tEnd = std::chrono::steady_clock::now() + tLimit;
        while (std::chrono::steady_clock::now() < tEnd) {
            if (::waitpid(nPid, &nStatus, WNOHANG) == nPid)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };

    const pid_t nFirst = Start();
    const std::filesystem::path ALock = ARuntime.GetPath() / "{5A7136DF-3CE5-4278-931A-96E9F480A93B}}.lock";
    for (int n = 0; n < 2000 && !std::filesystem::exists(ALock); ++n)
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(std::filesystem::exists(ALock)) << "the first copy holds the lock";

    int nStatus = -1;
    const pid_t nSecond = Start();
    ASSERT_TRUE(WaitExit(nSecond, 20s, nStatus));
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
    EXPECT_FALSE(WaitExit(nFirst, 200ms, nStatus)) << "the first copy runs on, untouched";
    ::kill(nFirst, SIGTERM);
    EXPECT_TRUE(WaitExit(nFirst, 20s, nStatus));
}

// The program in a folder as its users name folders: it finds its skins,
// its update files and the device from there.
TEST(Program, RunsFromAFolderWithSpacesAndCyrillicLetters)
{
    CTempPortDir APorts;
    CUpdateFolder ARoot;
    const std::string strName = "Программа обновления (копия)";
    const std::filesystem::path Folder = ARoot.GetPath() / std::filesystem::path(std::u8string(strName.begin(), strName.end()));
    std::filesystem::create_directory(Folder);
    std::filesystem::copy_file(IAP_TOOL_PATH, Folder / "iap-tool");
    std::filesystem::copy(IAP_SKIN_DIR, Folder / "Skin", std::filesystem::copy_options::recursive);
    const std::string strHex = MakeHex(0x08000000, RandomBytes(64, 30), "0102");
    std::ofstream(Folder / "AC7811_project.hex", std::ios::binary) << strHex;
    const auto pDevice = StartDevice(APorts.GetPath(), 3);

    const std::string strRuntime = "XDG_RUNTIME_DIR=" + ARoot.GetPath().string();
    std::vector<std::string> aEnv = {strRuntime, "QT_QPA_PLATFORM=offscreen", "IAP_PORT_DIR=" + APorts.GetPath()};
    std::vector<char*> aEnvp;
    for (std::string& str : aEnv)
        aEnvp.push_back(str.data());
    aEnvp.push_back(nullptr);
    // The trace unbuffered, so that it can be read while the program runs.
    std::string strStdbuf = "/usr/bin/stdbuf", strUnbuffered = "-o0", strTool = (Folder / "iap-tool").string();
    char* aArgv[] = {strStdbuf.data(), strUnbuffered.data(), strTool.data(), nullptr};
    const std::string strTrace = (ARoot.GetPath() / "trace.txt").string();
    posix_spawn_file_actions_t AActions;
    posix_spawn_file_actions_init(&AActions);
    posix_spawn_file_actions_addopen(&AActions, 1, strTrace.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t nPid = 0;
    ASSERT_EQ(::posix_spawn(&nPid, aArgv[0], &AActions, nullptr, aArgv, aEnvp.data()), 0);
    posix_spawn_file_actions_destroy(&AActions);

    // Connected (the menu read), and the firmware file read from the folder.
    EXPECT_TRUE(pDevice->WaitForFrames(4, 20s));
    const auto ReadTrace = [&] {
        std::ifstream AFile(strTrace);
        return std::string(std::istreambuf_iterator<char>(AFile), {});
    };
    const auto tEnd = std::chrono::steady_clock::now() + 20s;
    while (ReadTrace().find("GetHexVer == 0102") == std::string::npos && std::chrono::steady_clock::now() < tEnd)
        std::this_thread::sleep_for(20ms);
    EXPECT_NE(ReadTrace().find("GetHexVer == 0102"), std::string::npos) << ReadTrace().substr(0, 2000);
    EXPECT_EQ(ReadTrace().find("cannot be opened"), std::string::npos) << "a skin was not found";
    int nStatus = 0;
    EXPECT_EQ(::waitpid(nPid, &nStatus, WNOHANG), 0) << "the program ended";
    ::kill(nPid, SIGTERM);
    ::waitpid(nPid, &nStatus, 0);
}
