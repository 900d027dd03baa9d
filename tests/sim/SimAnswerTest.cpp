// The healthy device, driven through its pseudo-terminal by the link's port:
// every answer byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

#include "SimHost.h"

using namespace std::chrono_literals;

namespace {

CSimSettings Pattern(std::uint8_t btFirst, int nStep)
{
    CSimSettings ASettings{};
    for (std::size_t i = 0; i < ASettings.size(); ++i)
        ASettings[i] = static_cast<std::uint8_t>(btFirst + nStep * static_cast<int>(i));
    return ASettings;
}

CSimOptions TestOptions()
{
    CSimOptions AOptions;
    AOptions.uFirmwareVersion = 123;
    AOptions.uDataVersion = 5;
    AOptions.uRadarVersion = 0x1A2B;
    AOptions.SettingsG = Pattern(0, 1);
    AOptions.SettingsI = Pattern(0xFF, -1);
    return AOptions;
}

CHostBytes WithLetter(std::uint8_t btLetter, const CSimSettings& ASettings) { return Prefixed(btLetter, ASettings); }

const CHostBytes kInfoAnswer = Hex("AC 0D 00 46 45 03 00 7B 00 05 1A 2B 53");

struct CAnswerCase {
    const char* szName;
    CHostBytes Request;
    std::vector<CHostBytes> Answers;
};

class SimAnswer : public testing::TestWithParam<CAnswerCase> {
protected:
    CSimBench m_Bench;
    CSimHost m_Host;
};

} // namespace

TEST_P(SimAnswer, ByteForByte)
{
    const CAnswerCase& ACase = GetParam();
    CSimDevice& ADevice = m_Bench.StartDevice(TestOptions());
    ASSERT_TRUE(m_Host.Open(3));
    ASSERT_TRUE(m_Host.Send(ACase.Request));
    // The information request behind it shows that nothing else came first.
    ASSERT_TRUE(m_Host.Send(HandFrame(0x45, {0x03})));
    ASSERT_TRUE(m_Host.WaitFrames(ACase.Answers.size() + 1));
    std::vector<CHostBytes> Expected = ACase.Answers;
    Expected.push_back(kInfoAnswer);
    EXPECT_EQ(m_Host.GetFrames(), Expected);
    ASSERT_TRUE(ADevice.WaitForFrames(3, 5s));
    EXPECT_EQ(ADevice.GetReceivedFrames().at(1), ACase.Request);
    EXPECT_EQ(ADevice.GetCounters().nBadFrames, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SimAnswer,
    testing::Values(
        CAnswerCase{"info", HandFrame(0x45, {0x03}), {kInfoAnswer}},
        CAnswerCase{"settings_g", Hex("AC 05 00 47 47"), {HandFrame(0x48, WithLetter(0x47, Pattern(0, 1)))}},
        CAnswerCase{"settings_i", Hex("AC 05 00 49 49"), {HandFrame(0x48, WithLetter(0x49, Pattern(0xFF, -1)))}},
        CAnswerCase{"project_start", HandFrame(0x1C, {0x01, 0x23}), {Hex("AC 05 00 19 19")}},
        CAnswerCase{"data_record", HandFrame(0x06, {0x00, 0x00, 0x00, 0x08, 0x02, 0xAA, 0xBB}),
                    {Hex("AC 07 00 0D 06 02 15")}},
        CAnswerCase{"data_record_that_does_not_fit", HandFrame(0x06, {0x00, 0x00, 0x00, 0x08, 0x05, 0xAA}),
                    {Hex("AC 07 00 0D 06 07 1A")}},
        CAnswerCase{"project_end", Hex("AC 05 00 1A 1A"), {Hex("AC 07 00 0D 1A 02 29")}},
        CAnswerCase{"edog_start", Hex("AC 05 00 21 21"), {Hex("AC 05 00 22 22")}},
        CAnswerCase{"edog_block", HandFrame(0x23, CHostBytes(4096, 0x5A)), {Hex("AC 07 00 24 23 01 48")}},
        CAnswerCase{"edog_end", Hex("AC 05 00 20 20"), {}},
        CAnswerCase{"music_start", Hex("AC 05 00 31 31"), {Hex("AC 05 00 32 32")}},
        CAnswerCase{"music_block", HandFrame(0x33, {1, 2, 3}), {Hex("AC 07 00 34 33 01 68")}},
        CAnswerCase{"music_end", Hex("AC 05 00 30 30"), {}},
        CAnswerCase{"radar_start", HandFrame(0x41, {0x70, 0x11, 0x01, 0x00}), {Hex("AC 05 00 42 42")}},
        CAnswerCase{"radar_block", HandFrame(0x43, CHostBytes(1024, 0x33)), {Hex("AC 07 00 44 43 01 88")}},
        CAnswerCase{"radar_end", Hex("AC 05 00 40 40"), {}},
        CAnswerCase{"write_settings", HandFrame(0x4A, CHostBytes(73, 0x01)), {Hex("AC 07 00 4B 4A 01 96")}},
        CAnswerCase{"write_settings_too_short", HandFrame(0x4A, CHostBytes(10, 0x01)), {Hex("AC 07 00 4B 4A 07 9C")}},
        CAnswerCase{"host_acknowledge", Hex("AC 07 00 0D 1B 02 2A"), {}},
        CAnswerCase{"unknown_command", Hex("AC 05 00 50 50"), {}}),
    [](const testing::TestParamInfo<CAnswerCase>& AInfo) { return std::string(AInfo.param.szName); });

class SimDevice : public testing::Test {
protected:
    CSimBench m_Bench;
    CSimHost m_Host;
};

TEST_F(SimDevice, AcceptsTheProjectStartBeforeItsGoAheadWhenTold)
{
    CSimOptions AOptions;
    AOptions.bAcceptProjectStart = true;
    m_Bench.StartDevice(AOptions);
    ASSERT_TRUE(m_Host.Open(3));
    ASSERT_TRUE(m_Host.Send(HandFrame(0x1C, {0x01, 0x02})));
    ASSERT_TRUE(m_Host.WaitFrames(2));
    EXPECT_EQ(m_Host.GetFrames(), (std::vector{Hex("AC 05 00 1C 1C"), Hex("AC 05 00 19 19")}));
}

TEST_F(SimDevice, AnswersOnTwoPortsAtOnceWithEachPortsNumber)
{
    CSimDevice& ADevice1 = m_Bench.StartDevice(TestOptions(), 1);
    CSimDevice& ADevice12 = m_Bench.StartDevice(TestOptions(), 12);
    CSimHost AHost12;
    ASSERT_TRUE(m_Host.Open(1));
    ASSERT_TRUE(AHost12.Open(12));
    ASSERT_TRUE(m_Host.Send(HandFrame(0x45, {1})));
    ASSERT_TRUE(AHost12.Send(HandFrame(0x45, {12})));
    ASSERT_TRUE(m_Host.WaitFrames(1));
    ASSERT_TRUE(AHost12.WaitFrames(1));
    EXPECT_EQ(m_Host.GetFrames()[0], Hex("AC 0D 00 46 45 01 00 7B 00 05 1A 2B 51"));
    EXPECT_EQ(AHost12.GetFrames()[0], Hex("AC 0D 00 46 45 0C 00 7B 00 05 1A 2B 5C"));
    ASSERT_TRUE(ADevice12.WaitForFrames(2, 5s));
    // The probe of COM12 as the port wrote it, on COM12's device only.
    EXPECT_EQ(ADevice12.GetReceivedFrames()[0], Hex("AC 06 00 45 0C 51"));
    EXPECT_EQ(ADevice1.GetReceivedFrames()[0], Hex("AC 06 00 45 01 46"));
    EXPECT_EQ(ADevice1.GetReceivedFrames().size(), 2u);
}

TEST_F(SimDevice, CountsAndIgnoresBytesThatMakeNoFrame)
{
    CSimDevice& ADevice = m_Bench.StartDevice(TestOptions());
    ASSERT_TRUE(m_Host.Open(3));
    // A bad checksum and two stray bytes in front of a good frame.
    CHostBytes Chunk = Hex("AC 05 00 1A 1B 11 22 AC 05 00 21 21");
    // A command byte of 0 (checksum right), then the marker.
    const CHostBytes Tail = Hex("AC 05 00 00 00 AC 06 00 45 03 48");
    Chunk.insert(Chunk.end(), Tail.begin(), Tail.end());
    ASSERT_TRUE(m_Host.Send(Chunk));
    ASSERT_TRUE(m_Host.WaitFrames(2));
    EXPECT_EQ(m_Host.GetFrames(), (std::vector{Hex("AC 05 00 22 22"), kInfoAnswer}));
    ASSERT_TRUE(ADevice.WaitForFrames(3, 5s));
    EXPECT_EQ(ADevice.GetCounters().nFramesReceived, 3u);
    EXPECT_EQ(ADevice.GetCounters().nBadFrames, 2u);
}

TEST_F(SimDevice, LetsTheHostCloseAndOpenThePortAgain)
{
    CSimDevice& ADevice = m_Bench.StartDevice(TestOptions());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(m_Host.Open(3)) << "open " << i;
        m_Host.Close();
    }
    ASSERT_TRUE(ADevice.WaitForFrames(3, 5s));
    EXPECT_EQ(ADevice.GetState(), ESimState::Serving);
    EXPECT_EQ(ADevice.GetCounters().nFramesSent, 3u);
}

TEST_F(SimDevice, RefusesAPortThatAnotherDeviceHas)
{
    m_Bench.StartDevice(TestOptions());
    CSimOptions AOptions = TestOptions();
    AOptions.strPortDir = m_Bench.GetPortDir();
    AOptions.nCom = 3;
    CSimDevice ASecond(AOptions);
    std::string strError;
    EXPECT_FALSE(ASecond.Start(strError));
    EXPECT_NE(strError.find("COM3 is taken"), std::string::npos) << strError;
    EXPECT_TRUE(m_Host.Open(3));
}

TEST_F(SimDevice, StopRemovesTheLinkAndTheHostSeesTheDeviceGo)
{
    // Served on a thread of the caller's, as the terminal front end's tests do.
    CSimOptions AOptions = TestOptions();
    AOptions.strPortDir = m_Bench.GetPortDir();
    AOptions.nCom = 4;
    CSimDevice ADevice(AOptions);
    std::string strError;
    ASSERT_TRUE(ADevice.Open(strError)) << strError;
    std::thread AServe([&] { ADevice.Serve(); });
    ASSERT_TRUE(m_Host.Open(4));
    const std::string strLink = ADevice.GetLinkPath();
    struct stat st{};
    ASSERT_EQ(::lstat(strLink.c_str(), &st), 0);
    ADevice.Stop();
    AServe.join();
    EXPECT_EQ(ADevice.GetState(), ESimState::Stopped);
    EXPECT_NE(::lstat(strLink.c_str(), &st), 0);
    EXPECT_TRUE(m_Host.WaitLost());
}
