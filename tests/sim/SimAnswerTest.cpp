// The healthy device through its pseudo-terminal: every answer byte for byte.
#include <thread>

#include "SimHost.h"

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

const CHostBytes kInfoAnswer = Hex("AC 0D 00 46 45 03 00 7B 00 05 1A 2B 53");

struct CAnswerCase {
    const char* szName;
    CHostBytes Request;
    std::vector<CHostBytes> Answers;
};

class SimAnswer : public CSimFixture, public testing::TestWithParam<CAnswerCase> {};
class SimDevice : public CSimFixture, public testing::Test {};

} // namespace

TEST_P(SimAnswer, ByteForByte)
{
    CSimDevice& ADevice = StartDevice(TestOptions());
    ASSERT_TRUE(m_Host.Open(3));
    // The information request behind it shows that nothing else came first.
    ASSERT_TRUE(m_Host.Send(GetParam().Request) && m_Host.Send(HandFrame(0x45, {0x03})));
    std::vector<CHostBytes> Expected = GetParam().Answers;
    Expected.push_back(kInfoAnswer);
    ASSERT_TRUE(m_Host.WaitFrames(Expected.size()));
    EXPECT_EQ(m_Host.GetFrames(), Expected);
    ASSERT_TRUE(ADevice.WaitForFrames(3, 5s));
    EXPECT_EQ(ADevice.GetReceivedFrames().at(1), GetParam().Request);
    EXPECT_EQ(ADevice.GetCounters().nBadFrames, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SimAnswer,
    testing::Values(
        CAnswerCase{"info", HandFrame(0x45, {0x03}), {kInfoAnswer}},
        CAnswerCase{"settings_g", Hex("AC 05 00 47 47"), {HandFrame(0x48, Prefixed(0x47, Pattern(0, 1)))}},
        CAnswerCase{"settings_i", Hex("AC 05 00 49 49"), {HandFrame(0x48, Prefixed(0x49, Pattern(0xFF, -1)))}},
        CAnswerCase{"project_start", HandFrame(0x1C, {0x01, 0x23}), {Hex("AC 05 00 19 19")}},
        CAnswerCase{"data_record", HandFrame(0x06, {0, 0, 0, 8, 2, 0xAA, 0xBB}), {Hex("AC 07 00 0D 06 02 15")}},
        CAnswerCase{"data_record_that_does_not_fit", HandFrame(0x06, {0, 0, 0, 8, 5, 0xAA}),
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
    [](const auto& AInfo) { return std::string(AInfo.param.szName); });

// A host that closes its port mid-frame (a flush on close, a killed
// program) leaves the start of a block behind; the device drops it once the
// line has been quiet, as a device's receive time-out would, and answers
// the next host.
TEST_F(SimDevice, DropsAFrameCutShortOnceTheLineIsQuiet)
{
    CSimDevice& ADevice = StartDevice(TestOptions());
    ASSERT_TRUE(m_Host.Open(3));
    const CHostBytes Block = HandFrame(0x23, CHostBytes(4096, 0x11));
    ASSERT_TRUE(m_Host.Send(CHostBytes(Block.begin(), Block.begin() + 1000)));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(m_Host.Send(HandFrame(0x45, {0x03})));
    ASSERT_TRUE(m_Host.WaitFrames(1));
    EXPECT_EQ(m_Host.GetFrames(), std::vector<CHostBytes>{kInfoAnswer});
    EXPECT_EQ(ADevice.GetCounters().nBadFrames, 1u);
}
