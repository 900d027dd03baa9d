#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "MockLogind.h"
#include "SleepInhibitor.h"
#include "TextCodec.h"

namespace {

constexpr std::wstring_view kSleepWhyRu = L"Идёт обновление устройства: сон прервал бы запись";
constexpr std::wstring_view kSleepWhyEn = L"A device update is writing; sleep would interrupt it";

} // namespace

TEST(SleepInhibitor, HoldsLogindsLockFromAcquireToReleaseAndDestruction)
{
    const CMockLogind AMock;
    const auto OurLock = [](std::wstring_view wzWhy) {
        return std::vector<CInhibitorEntry>{{"sleep:idle", "IAP Tool", WideToUtf8(wzWhy), "block"}};
    };
    // The mock drops a lock when it sees the last copy of its descriptor
    // closed, on its own loop: wait for that.
    const auto NoneListed = [&] {
        return PollUntil([&] { return AMock.ListInhibitors() == std::vector<CInhibitorEntry>{}; });
    };
    {
        CSleepInhibitor AInhibitor;
        ASSERT_TRUE(AInhibitor.Acquire(kSleepWhyRu));
        // Held already: no second lock, and the first one's why stays.
        EXPECT_TRUE(AInhibitor.Acquire(kSleepWhyEn));
        EXPECT_EQ(AMock.ListInhibitors(), OurLock(kSleepWhyRu));

        // A program started while it is held must not keep it held; a
        // second Release does nothing.
        const CChildProcess AChild({"/bin/sleep", "60"});
        AInhibitor.Release();
        AInhibitor.Release();
        EXPECT_TRUE(NoneListed());

        // The next update takes it again; the destructor lets it go.
        ASSERT_TRUE(AInhibitor.Acquire(kSleepWhyEn));
        EXPECT_EQ(AMock.ListInhibitors(), OurLock(kSleepWhyEn));
    }
    EXPECT_TRUE(NoneListed());
}

TEST(SleepInhibitor, WithoutASystemBusTheUpdateGoesOnAndTheTraceSaysSoOnce)
{
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/iap-no-bus", 1);
    testing::internal::CaptureStdout();
    {
        CSleepInhibitor AInhibitor;
        EXPECT_FALSE(AInhibitor.Acquire(kSleepWhyEn));
        EXPECT_FALSE(AInhibitor.Acquire(kSleepWhyEn));
    }
    const std::string strTrace = testing::internal::GetCapturedStdout();
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    // One line, said once; nothing was released.
    EXPECT_NE(strTrace.find("may sleep during the update: no system bus"), std::string::npos) << strTrace;
    EXPECT_EQ(strTrace.find('\n') + 1, strTrace.size()) << strTrace;
}
