#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

#include "Packet_ISP.h"
#include "TaskManager.h"

using namespace std::chrono_literals;
using CBytes = std::vector<std::uint8_t>;

namespace {

// An owner that records what would go to the port.
class CRecordingOwner final : public CTaskManager<CPacket_ISP, CRecordingOwner> {
public:
    ~CRecordingOwner() override { Stop(); }

    int SendData(const std::uint8_t* pBytes, std::uint32_t dwCount) override
    {
        {
            std::lock_guard<std::mutex> ALock(m_Mutex);
            m_Sent.emplace_back(pBytes, pBytes + dwCount);
        }
        m_Cond.notify_all();
        if (m_OnSend)
            m_OnSend();
        return 1;
    }
    int SendTask(CPacket_ISP& APacket, std::uint32_t) override
    {
        SendData(APacket.GetData(), static_cast<std::uint32_t>(APacket.GetSize()));
        return 0;
    }
    bool OnTimeout(CPacket_ISP& APacket) override
    {
        return APacket.GetCommand() == 0x47 || APacket.GetCommand() == 0x49;
    }

    std::vector<std::uint8_t> SentCommands()
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        std::vector<std::uint8_t> Commands;
        for (const CBytes& Frame : m_Sent)
            Commands.push_back(Frame[3]);
        return Commands;
    }
    bool WaitSent(std::size_t nCount, std::chrono::milliseconds tTimeout = 10s)
    {
        std::unique_lock<std::mutex> ALock(m_Mutex);
        return m_Cond.wait_for(ALock, tTimeout, [&] { return m_Sent.size() >= nCount; });
    }
    std::function<void()> m_OnSend;

private:
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::vector<CBytes> m_Sent;
};

CPacket_ISP Packet(std::uint8_t btCommand)
{
    CPacket_ISP APacket;
    APacket.SetCommand(btCommand, nullptr, 0);
    return APacket;
}

} // namespace

TEST(TaskManager, OneCommandInFlightUntilItsAnswer)
{
    CRecordingOwner AOwner;
    AOwner.Start();
    AOwner.AddTask(Packet(0x06));
    ASSERT_TRUE(AOwner.WaitSent(1));
    AOwner.AddTask(Packet(0x1A));
    EXPECT_FALSE(AOwner.WaitSent(2, 100ms)) << "a second command went while the first was in flight";

    AOwner.OnAnswer(0x1A);  // not the front packet's command
    EXPECT_FALSE(AOwner.WaitSent(2, 100ms)) << "an answer to another command let the next go";
    EXPECT_EQ(AOwner.GetTaskCount(), 2u);

    AOwner.OnAnswer(0x06);
    ASSERT_TRUE(AOwner.WaitSent(2));
    EXPECT_EQ(AOwner.SentCommands(), (std::vector<std::uint8_t>{0x06, 0x1A}));
    EXPECT_EQ(AOwner.GetTaskCount(), 1u);
}

TEST(TaskManager, AnswerOnEmptyQueueWritesNoTraceLine)
{
    CRecordingOwner AOwner;
    AOwner.Start();
    testing::internal::CaptureStdout();
    AOwner.OnAnswer(0x06);
    AOwner.AddTask(Packet(0x06));
    AOwner.WaitSent(1);
    AOwner.OnAnswer(0x06);
    const std::string strOut = testing::internal::GetCapturedStdout();
    EXPECT_EQ(strOut.find("[CMD"), strOut.rfind("[CMD")) << strOut;
    EXPECT_NE(strOut.find("[CMD 06 06\r\n"), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("[TaskManager] thread run :"), std::string::npos) << strOut;
}

TEST(TaskManager, UnansweredSettingsReadIsDroppedAndTheNextSentAtOnce)
{
    CRecordingOwner AOwner;
    AOwner.SetWaitTime(100);
    AOwner.Start();
    AOwner.AddTask(Packet(0x47));
    AOwner.AddTask(Packet(0x49));
    AOwner.AddTask(Packet(0x06));
    ASSERT_TRUE(AOwner.WaitSent(3));
    EXPECT_EQ(AOwner.SentCommands(), (std::vector<std::uint8_t>{0x47, 0x49, 0x06}));
    // 0x06 is never dropped: the queue waits on, sending nothing more.
    EXPECT_FALSE(AOwner.WaitSent(4, 350ms));
    EXPECT_EQ(AOwner.GetTaskCount(), 1u);
}

// The answer sends the next packet itself; that packet still gets the
// whole wait for its own answer, however long the manager's thread has
// been waiting already.
TEST(TaskManager, PacketSentOnAnAnswerWaitsItsWholeTime)
{
    CRecordingOwner AOwner;
    AOwner.SetWaitTime(1000);
    AOwner.Start();
    AOwner.AddTask(Packet(0x47));
    AOwner.AddTask(Packet(0x49));
    ASSERT_TRUE(AOwner.WaitSent(1));
    Sleep(600);
    AOwner.OnAnswer(0x47);
    EXPECT_EQ(AOwner.SentCommands(), (std::vector<std::uint8_t>{0x47, 0x49}));
    Sleep(500);
    EXPECT_EQ(AOwner.GetTaskCount(), 1u) << "0x49 dropped before its own wait was over";
    Sleep(1000);
    EXPECT_EQ(AOwner.GetTaskCount(), 0u);
}

TEST(TaskManager, ClearTasksDropsTheFrameInFlight)
{
    CRecordingOwner AOwner;
    AOwner.Start();
    AOwner.AddTask(Packet(0x21));
    ASSERT_TRUE(AOwner.WaitSent(1));
    EXPECT_TRUE(AOwner.ClearTasks());
    EXPECT_EQ(AOwner.GetTaskCount(), 0u);
    AOwner.OnAnswer(0x21);
    AOwner.AddTask(Packet(0x23));
    ASSERT_TRUE(AOwner.WaitSent(2));
    EXPECT_EQ(AOwner.GetTaskCount(), 1u);
}

TEST(TaskManager, StartDiscardsWhatWasQueuedBefore)
{
    CRecordingOwner AOwner;
    AOwner.AddTask(Packet(0x06));
    AOwner.AddTask(Packet(0x1A));
    EXPECT_EQ(AOwner.GetTaskCount(), 2u);
    AOwner.Start();
    EXPECT_EQ(AOwner.GetTaskCount(), 0u);
    EXPECT_FALSE(AOwner.WaitSent(1, 100ms)) << "a packet queued before the start was sent";
}

// A send that needs another thread to reach the queue (a window handling a
// notification, say) must not find the queue locked by the sender.
TEST(TaskManager, SendsWithoutHoldingTheQueueLock)
{
    CRecordingOwner AOwner;
    AOwner.SetWaitTime(100);
    std::atomic<int> nBlocked{0};
    AOwner.m_OnSend = [&] {
        auto AOther = std::async(std::launch::async, [&] { return AOwner.GetTaskCount(); });
        if (AOther.wait_for(10s) != std::future_status::ready)
            ++nBlocked;
    };
    AOwner.Start();
    AOwner.AddTask(Packet(0x47));  // dropped on time-out: the raw-send path
    AOwner.AddTask(Packet(0x06));  // then sent from the time-out path
    ASSERT_TRUE(AOwner.WaitSent(2, 30s));
    AOwner.OnAnswer(0x06);
    AOwner.AddTask(Packet(0x1A));  // the normal path
    ASSERT_TRUE(AOwner.WaitSent(3, 30s));
    AOwner.m_OnSend = nullptr;
    EXPECT_EQ(nBlocked, 0);
}
