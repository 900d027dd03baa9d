#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "DebugPrint.h"
#include "EventObject.h"

TEST(Event, AutoResetMergesSignalsAndConsumesThem)
{
    CEventObject AEvent(nullptr, false, false);
    EXPECT_FALSE(AEvent.Wait(0));
    AEvent.Set();
    AEvent.Set();
    EXPECT_TRUE(AEvent.Wait(0));
    EXPECT_FALSE(AEvent.Wait(10));
}

TEST(Event, ManualResetStaysSignalledUntilReset)
{
    CEventObject AEvent(nullptr, true, true);
    EXPECT_TRUE(AEvent.Wait(0));
    EXPECT_TRUE(AEvent.Wait(0));
    AEvent.Reset();
    EXPECT_FALSE(AEvent.Wait(0));
}

TEST(Event, WakesAWaiterOnAnotherThread)
{
    CEventObject AEvent(nullptr, false, false);
    std::atomic<bool> bWoken{false};
    std::thread AWaiter([&] { bWoken = AEvent.Wait(10000); });
    AEvent.Set();
    AWaiter.join();
    EXPECT_TRUE(bWoken);
}

TEST(DebugPrint, WritesUtf8AndCutsAt1023Characters)
{
    testing::internal::CaptureStdout();
    DebugPrint(L"[CMD %02X %02X\r\n", 0x06, 0x1A);
    DebugPrint(L"%ls", L"Успешно");
    DebugPrint(L"%ls", std::wstring(2000, L'x').c_str());
    const std::string strOut = testing::internal::GetCapturedStdout();
    const std::string strExpected = "[CMD 06 1A\r\n" + std::string("Успешно");
    ASSERT_GE(strOut.size(), strExpected.size());
    EXPECT_EQ(strOut.substr(0, strExpected.size()), strExpected);
    EXPECT_EQ(strOut.size() - strExpected.size(), 1023u);
}
