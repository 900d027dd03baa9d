#include <atomic>
#include <gtest/gtest.h>

#include "AutoThread.h"
#include "EventObject.h"
#include "Singleton.h"
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

// A body that ignores the stop flag and waits on an event nobody sets.
class CStubborn final : public CAutoThread {
public:
    CStubborn() : CAutoThread(200) {}
    ~CStubborn() override { Stop(); }
    std::atomic<bool> bUnwound{false};
protected:
    int Run() override
    {
        struct CMark {
            std::atomic<bool>& b;
            ~CMark() { b = true; }
        } AMark{bUnwound};
        CEventObject AEvent(nullptr, false, false);
        for (;;)
            AEvent.Wait(50);
        return 0;
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

// The platform's forced end: a POSIX thread is cancelled and unwinds; a
// Windows thread is terminated and does not (ForcedEnd_Posix.cpp,
// ForcedEnd_Win32.cpp).
extern const bool kForcedEndUnwinds;

TEST(AutoThread, BodyIgnoringTheFlagIsEndedByForce)
{
    CStubborn AThread;
    ASSERT_TRUE(AThread.Start());
    Sleep(20);
    EXPECT_FALSE(AThread.Stop(100));
    EXPECT_FALSE(AThread.HasThread());
    EXPECT_EQ(AThread.GetExitCode(), -1);
    EXPECT_EQ(AThread.bUnwound, kForcedEndUnwinds);
}

namespace {
class CRegistered : public Singleton<CRegistered> {
public:
    int nValue = 42;
};
} // namespace

TEST(Singleton, PointerLivesExactlyAsLongAsTheObject)
{
    EXPECT_EQ(Singleton<CRegistered>::GetInstance(), nullptr);
    {
        CRegistered AObject;
        ASSERT_EQ(Singleton<CRegistered>::GetInstance(), &AObject);
        EXPECT_EQ(Singleton<CRegistered>::GetInstance()->nValue, 42);
    }
    EXPECT_EQ(Singleton<CRegistered>::GetInstance(), nullptr);
}
