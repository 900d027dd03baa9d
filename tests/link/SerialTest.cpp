// The serial port against a scripted device on a pseudo-terminal.
#include <asm/termbits.h>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/ioctl.h>

#include "PtyPeer.h"
#include "Serial.h"
#include "TempPortDir.h"

using namespace std::chrono_literals;

namespace {

class CReceiver final : public CSerialObject {
public:
    int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) override
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        m_Bytes.insert(m_Bytes.end(), pBytes, pBytes + dwCount);
        return 0;
    }
    void OnPortOpened(std::uint8_t btPort) override { m_nOpened = btPort; }
    void OnPortLost() override { ++m_nLost; }

    CBytes Bytes()
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        return m_Bytes;
    }
    std::atomic<int> m_nOpened{0};
    std::atomic<int> m_nLost{0};

private:
    std::mutex m_Mutex;
    CBytes m_Bytes;
};

template <class TPred>
bool WaitUntil(TPred Pred, std::chrono::milliseconds tLimit = 10s)
{
    const auto tEnd = std::chrono::steady_clock::now() + tLimit;
    while (!Pred()) {
        if (std::chrono::steady_clock::now() > tEnd)
            return false;
        Sleep(2);
    }
    return true;
}

CPtyPeer::Handler AnswerWith(const CBytes& Answer)
{
    return [Answer](const CBytes& Frame) { return Frame[3] == 0x45 ? Answer : CBytes{}; };
}

class SerialTest : public testing::Test {
protected:
    CTempPortDir m_Dir;
    CReceiver m_Receiver;
};

} // namespace

TEST_F(SerialTest, OpenProbesThenRunsAt256000Baud8N1)
{
    CPtyPeer APeer(m_Dir.GetPath(), 3);
    APeer.SetHandler([](const CBytes& Frame) {
        return Frame[3] == 0x45 ? CPtyPeer::InfoAnswer(Frame[4]) : CBytes{};
    });
    CSerial APort(nullptr, 10);
    APort.SetOwner(&m_Receiver);
    ASSERT_NE(APort.Open(3, 9600, 8, 0, 0), 0);
    EXPECT_TRUE(APort.IsOpen());
    EXPECT_EQ(m_Receiver.m_nOpened, 3);

    const CBytes Raw = APeer.GetRawBytes();
    ASSERT_GE(Raw.size(), 6u);
    EXPECT_EQ(CBytes(Raw.begin(), Raw.begin() + 6), (CBytes{0xAC, 0x06, 0x00, 0x45, 0x03, 0x48}));

    termios2 tio{};
    ASSERT_EQ(::ioctl(APeer.GetSlaveFd(), TCGETS2, &tio), 0);
    EXPECT_EQ(tio.c_ospeed, 256000u);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);

    // The probe's answer was consumed by the probe; what comes next is read.
    const CBytes Late = CPtyPeer::MakeFrame(0x13, {0x01});
    APeer.Write(Late);
    EXPECT_TRUE(WaitUntil([&] { return m_Receiver.Bytes() == Late; }));

    EXPECT_TRUE(APort.Write(Late.data(), static_cast<std::uint32_t>(Late.size())));
    EXPECT_FALSE(APort.Write(Late.data(), 0));
    EXPECT_FALSE(APort.Write(nullptr, 3));
    APort.Close();
    EXPECT_FALSE(APort.IsOpen());
    EXPECT_FALSE(APort.Write(Late.data(), static_cast<std::uint32_t>(Late.size())));
    APort.Close();  // twice does no harm
}

struct CProbeCase {
    const char* szName;
    CBytes Answer;
    bool bOpens;
};

class SerialProbe : public SerialTest, public testing::WithParamInterface<CProbeCase> {};

TEST_P(SerialProbe, AcceptsAPortOnTheCommandByteAlone)
{
    CPtyPeer APeer(m_Dir.GetPath(), 5);
    APeer.SetHandler(AnswerWith(GetParam().Answer));
    CSerial APort(&m_Receiver, 10);
    EXPECT_EQ(APort.Open(5, 256000, 8, 0, 0) != 0, GetParam().bOpens);
    EXPECT_EQ(APort.IsOpen(), GetParam().bOpens);
    EXPECT_EQ(m_Receiver.m_nOpened != 0, GetParam().bOpens);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SerialProbe,
    testing::Values(CProbeCase{"info_frame", CPtyPeer::InfoAnswer(5), true},
                    // start byte, length and checksum are not examined
                    CProbeCase{"bad_checksum_still_46", {0x00, 0x00, 0x00, 0x46, 0x00}, true},
                    CProbeCase{"four_bytes", {0xAC, 0x05, 0x00, 0x46}, false},
                    CProbeCase{"other_command", CPtyPeer::MakeFrame(0x47, {0x01}), false},
                    CProbeCase{"silent", {}, false}),
    [](const testing::TestParamInfo<CProbeCase>& AInfo) { return std::string(AInfo.param.szName); });

TEST_F(SerialTest, PortWithoutEntryDoesNotExist)
{
    CSerial APort(&m_Receiver, 10);
    EXPECT_EQ(APort.Open(7, 256000, 8, 0, 0), 0);
    EXPECT_FALSE(APort.IsOpen());
}

TEST_F(SerialTest, SecondOpenReleasesTheFirstPortAndTwoDigitNumbersWork)
{
    CPtyPeer APeer3(m_Dir.GetPath(), 3);
    CPtyPeer APeer12(m_Dir.GetPath(), 12);
    APeer3.SetHandler(AnswerWith(CPtyPeer::InfoAnswer(3)));
    APeer12.SetHandler(AnswerWith(CPtyPeer::InfoAnswer(12)));
    CSerial APort(&m_Receiver, 10);
    ASSERT_NE(APort.Open(3, 256000, 8, 0, 0), 0);

    CReceiver AOther;
    CSerial AOtherPort(&AOther, 10);
    EXPECT_EQ(AOtherPort.Open(3, 256000, 8, 0, 0), 0) << "a port in use is not shared";

    ASSERT_NE(APort.Open(12, 256000, 8, 0, 0), 0);
    ASSERT_TRUE(APeer12.WaitForFrames(1, 5s));
    EXPECT_EQ(APeer12.GetFrames()[0], (CBytes{0xAC, 0x06, 0x00, 0x45, 0x0C, 0x51}));
    EXPECT_NE(AOtherPort.Open(3, 256000, 8, 0, 0), 0) << "the first port was released";
}

TEST_F(SerialTest, UnpluggedDeviceIsReportedOnce)
{
    auto pPeer = std::make_unique<CPtyPeer>(m_Dir.GetPath(), 4);
    pPeer->SetHandler(AnswerWith(CPtyPeer::InfoAnswer(4)));
    CSerial APort(&m_Receiver, 10);
    ASSERT_NE(APort.Open(4, 256000, 8, 0, 0), 0);
    pPeer->Hangup();
    EXPECT_TRUE(WaitUntil([&] { return m_Receiver.m_nLost > 0; }));
    EXPECT_FALSE(WaitUntil([&] { return m_Receiver.m_nLost > 1; }, 50ms)) << "reported more than once";
    APort.Close();
}
