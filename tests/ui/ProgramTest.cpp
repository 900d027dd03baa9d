// The program as a user starts it: one copy at a time, and from a folder
// named as its users name folders (POSIX: it spawns the program).
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "DeviceTestKit.h"
#include "UiTestKit.h"

extern char** environ;
using namespace std::chrono_literals;

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
    std::filesystem::copy(GetSkinFolder(), Folder / "Skin", std::filesystem::copy_options::recursive);
    const std::string strHex = MakeHex(0x08000000, RandomBytes(64, 30), "0102");
    std::ofstream(Folder / "AC7811_project.hex", std::ios::binary) << strHex;
    const auto pDevice = StartDevice(APorts.GetPath(), 3);

    const std::string strRuntime = "XDG_RUNTIME_DIR=" + ARoot.GetPath().string();
    // stdbuf preloads its own library ahead of everything; an ASan build of
    // the program would refuse to start behind it without this option.
    std::vector<std::string> aEnv = {strRuntime, "QT_QPA_PLATFORM=offscreen", "IAP_PORT_DIR=" + APorts.GetPath(),
                                     "ASAN_OPTIONS=verify_asan_link_order=0"};
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
