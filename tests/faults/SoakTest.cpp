// Many updates in a row on one worker, never restarted, against one virtual
// device in a process of its own, so that this process's memory and threads
// are the worker's. Every update must reach the device whole; the worker
// must end with the threads it had after its first update, and its memory
// may grow by no more than a generous bound. IAP_SOAK_UPDATES sets the
// number of updates (100 by default).
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "DeviceTestKit.h"

using namespace std::chrono_literals;

namespace {

using CResults = std::vector<std::pair<int, int>>;

// A sanitizer's allocator keeps freed memory back on purpose, so resident
// memory says nothing about leaks there; the thread count still does.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryTells = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kMemoryTells = false;
#else
constexpr bool kMemoryTells = true;
#endif
#else
constexpr bool kMemoryTells = true;
#endif

// The results of one whole update, taken out of the recorder, which so
// stays as small as the worker over hundreds of updates. As a front end
// does, it waits until the device has been asked what it now is; its menu
// reads may still be on the line when the next update's menu is handed over.
CResults TakeUpdate(CNoteRecorder& ANotes)
{
    ANotes.WaitFor(WM_STAGE_RESULT, 6, 60s);
    ANotes.WaitFor(WM_DEVICE_REREAD, -1, 30s);
    CResults Results;
    for (const CNote& ANote : ANotes.TakeNotes())
        if (ANote.uMessage == WM_STAGE_RESULT)
            Results.emplace_back(static_cast<int>(ANote.wParam), static_cast<int>(ANote.lParam));
    return Results;
}

struct CProcessFigures {
    long nRssKiB = -1;
    long nThreads = -1;
};

CProcessFigures ReadFigures()
{
    CProcessFigures AFigures;
    std::ifstream AStatus("/proc/self/status");
    for (std::string strLine; std::getline(AStatus, strLine);) {
        if (strLine.rfind("VmRSS:", 0) == 0)
            AFigures.nRssKiB = std::atol(strLine.c_str() + 6);
        else if (strLine.rfind("Threads:", 0) == 0)
            AFigures.nThreads = std::atol(strLine.c_str() + 8);
    }
    return AFigures;
}

} // namespace

TEST(Soak, UpdatesInARowOnOneWorkerLeaveNoThreadOrMemoryBehind)
{
    const char* szCount = std::getenv("IAP_SOAK_UPDATES");
    const int nUpdates = szCount != nullptr ? std::max(2, std::atoi(szCount)) : 100;
    CTempPortDir APorts;
    CUpdateFolder AFiles;
    const CBytes Firmware = RandomBytes(2048, 1);
    const std::map<std::string, CBytes> Images = {{"flagdata.bin", RandomBytes(9000, 2)},
                                                  {"audioHead.bin", RandomBytes(5000, 3)},
                                                  {"rdfw.bin", RandomBytes(1100, 4)}};
    AFiles.Write("AC7811_project.hex", MakeHex(0x08000000, Firmware, "0102"));
    for (const auto& [strName, Bytes] : Images)
        AFiles.Write(strName, Bytes);
    const std::filesystem::path Record = AFiles.GetPath() / "record";
    const CChildProcess ADevice({IAP_SIM_PATH, "--port-dir", APorts.GetPath(), "--com", "3", "--record",
                                 Record.string()});
    ASSERT_TRUE(PollUntil([&] { return std::filesystem::exists(APorts.PortPath(3)); }));

    CEngine AEngine;
    CNoteRecorder& AWindow = AEngine.ANotes;
    CWork_BK& AWork = AEngine.AWork;
    AEngine.Start(AFiles);
    ASSERT_TRUE(AEngine.WaitConnected());

    const CResults Whole = {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}};
    std::vector<int> Failed;
    CProcessFigures ABefore, AStart, AEnd;
    const auto tStart = std::chrono::steady_clock::now();
    {
        // The trace of hundreds of updates is kept out of the test's output.
        testing::internal::CaptureStdout();
        ABefore = ReadFigures();
        for (int i = 0; i < nUpdates; ++i) {
            for (const char* szName : {"firmware.bin", "flagdata.bin", "audioHead.bin", "rdfw.bin", "settings.bin"})
                std::filesystem::remove(Record / szName);
            // A different menu each time, so each update has one to write.
            CSettingsBlock AMenu{};
            AMenu[0] = static_cast<std::uint8_t>(i + 1);
            AWork.HandOverMenu(AMenu);
            AWork.StartUpdate();
            bool bWhole = TakeUpdate(AWindow) == Whole && ReadFileBytes(Record / "firmware.bin") == Firmware &&
                          ReadFileBytes(Record / "settings.bin") == CBytes(AMenu.begin(), AMenu.end());
            for (const auto& [strName, Bytes] : Images)
                bWhole = bWhole && ReadFileBytes(Record / strName) == Bytes;
            if (!bWhole)
                Failed.push_back(i + 1);
            if (i == 0)
                AStart = ReadFigures();
        }
        AEnd = ReadFigures();
        testing::internal::GetCapturedStdout();
    }
    const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    AWork.Reset();

    std::fprintf(stderr,
                 "[ soak ] %d updates in %.1f s; VmRSS %ld kB before, %ld kB after the first, %ld kB after the last; "
                 "threads %ld before, %ld after the first, %ld after the last\n",
                 nUpdates, dSeconds, ABefore.nRssKiB, AStart.nRssKiB, AEnd.nRssKiB, ABefore.nThreads,
                 AStart.nThreads, AEnd.nThreads);
    EXPECT_TRUE(Failed.empty()) << Failed.size() << " updates did not reach the device whole, the first: "
                                << Failed.front();
    ASSERT_GT(AStart.nThreads, 0);
    EXPECT_EQ(AEnd.nThreads, AStart.nThreads);
    if (kMemoryTells) {
        EXPECT_LT(AEnd.nRssKiB - AStart.nRssKiB, 16 * 1024) << "memory grew by more than 16 MiB";
    }
}
