// The program as a user starts it: one copy at a time, and from a folder
// named as its users name folders (POSIX: it spawns the program).
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ChildProcess.h"
#include "DeviceTestKit.h"
#include "UiTestKit.h"

using namespace std::chrono_literals;

TEST(Program, ASecondCopyEndsAtOnceWithExitCodeZero)
{
    CTempPortDir APorts;
    CUpdateFolder ARuntime;
    ::chmod(ARuntime.GetPath().c_str(), 0700);
    const std::vector<std::string> Env = {"XDG_RUNTIME_DIR=" + ARuntime.GetPath().string(), "QT_QPA_PLATFORM=offscreen"};
    CChildProcess AFirst({IAP_TOOL_PATH}, Env);
    const std::filesystem::path ALock = ARuntime.GetPath() / "{5A7136DF-3CE5-4278-931A-96E9F480A93B}}.lock";
    ASSERT_TRUE(PollUntil([&] { return std::filesystem::exists(ALock); })) << "the first copy holds the lock";

    CChildProcess ASecond({IAP_TOOL_PATH}, Env);
    EXPECT_EQ(ASecond.WaitExit(20s), 0);
    EXPECT_EQ(AFirst.WaitExit(200ms), -1) << "the first copy runs on, untouched";
    EXPECT_FALSE(AFirst.HasEnded());
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
    std::filesystem::copy(GetSkinFolder(), Folder / "Skin", std::filesystem::copy_options::recursive);
    const std::string strHex = MakeHex(0x08000000, RandomBytes(64, 30), "0102");
    std::ofstream(Folder / "AC7811_project.hex", std::ios::binary) << strHex;
    const auto pDevice = StartDevice(APorts.GetPath(), 3);

    // The trace unbuffered, so that it can be read while the program runs.
    // stdbuf preloads its own library ahead of everything; an ASan build of
    // the program would refuse to start behind it without the option.
    CChildProcess ATool({"/usr/bin/stdbuf", "-o0", (Folder / "iap-tool").string()},
                        {"XDG_RUNTIME_DIR=" + ARoot.GetPath().string(), "QT_QPA_PLATFORM=offscreen",
                         "ASAN_OPTIONS=verify_asan_link_order=0"});
    // Connected (the menu read), and the firmware file read from the folder.
    EXPECT_TRUE(pDevice->WaitForFrames(4, 20s));
    EXPECT_TRUE(ATool.WaitOutput("GetHexVer == 0102", 20s)) << ATool.GetOutput().substr(0, 2000);
    EXPECT_EQ(ATool.GetOutput().find("cannot be opened"), std::string::npos) << "a skin was not found";
    EXPECT_FALSE(ATool.HasEnded()) << "the program ended";
}
