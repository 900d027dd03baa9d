#include <atomic>
#include <mutex>
#include <gtest/gtest.h>

#include "AutoThread.h"
#include "EventObject.h"
#include "Tick.h"

namespace {

// A body that honours the stop flag, counting its turns.
class CPolite final : public CAutoThread {
public:
    CPolite() : CAutoThread(2000) {}
    ~CPolite() override { Stop(); }
    std::atomic<int> nTurns{0};
    std::atomic<int> nStarts{0};
protected:
    int Run() override
    {
        ++nStarts;
        while (!StopRequested()) {
            ++nTurns;
            Sleep(1);
        }
        return 7;
    }
};

// A body that holds a lock and honours its stop flag late, long after the
// stop time-out.
class CLate final : public CAutoThread {
public:
    CLate() : CAutoThread(50) {}
    ~CLate() override { Stop(); }
    std::mutex Held;
    std::atomic<bool> bHolding{false};
protected:
    int Run() override
    {
        std::lock_guard<std::mutex> ALock(Held);
        bHolding = true;
        while (!StopRequested())
            Sleep(1);
        Sleep(300);
        return 5;
    }
};

} // namespace

TEST(AutoThread, StopWithoutThreadAnswersFalseAndKeepsFlag)
{
    CPolite AThread;
    EXPECT_FALSE(AThread.Stop(2000));
    EXPECT_TRUE(AThread.StopRequested());
    EXPECT_EQ(AThread.GetExitCode(), -1);
}

TEST(AutoThread, StopEndsAPoliteBodyAndKeepsItsExitCode)
{
    CPolite AThread;
    ASSERT_TRUE(AThread.Start());
    EXPECT_FALSE(AThread.StopRequested());
    while (AThread.nTurns == 0)
        Sleep(1);
    EXPECT_TRUE(AThread.Stop(2000));
    EXPECT_FALSE(AThread.HasThread());
    EXPECT_EQ(AThread.GetExitCode(), 7);
}

TEST(AutoThread, StartTwiceEndsTheFirstThreadBeforeTheSecond)
{
    CPolite AThread;
    ASSERT_TRUE(AThread.Start());
    ASSERT_TRUE(AThread.Start());
    EXPECT_TRUE(AThread.HasThread());
    EXPECT_TRUE(AThread.Stop());
    EXPECT_EQ(AThread.nStarts, 2);
}

// No thread is ended by force, which would leave its locks held: a body
// late to end is waited for, ends by itself and releases what it held.
TEST(AutoThread, BodyLateToEndIsWaitedForAndReleasesItsLock)
{
    CLate AThread;
    ASSERT_TRUE(AThread.Start());
    while (!AThread.bHolding)
        Sleep(1);
    EXPECT_TRUE(AThread.Stop());
    EXPECT_FALSE(AThread.HasThread());
    EXPECT_EQ(AThread.GetExitCode(), 5);
    EXPECT_TRUE(AThread.Held.try_lock());
    AThread.Held.unlock();
}
