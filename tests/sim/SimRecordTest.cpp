// What --record leaves behind, for a small stage of each kind, and the same
// images in memory.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

#include "SimHost.h"

using namespace std::chrono_literals;

namespace {

std::string ReadText(const std::string& strPath)
{
    std::ifstream AFile(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(AFile), std::istreambuf_iterator<char>()};
}

CHostBytes ReadBytes(const std::string& strPath)
{
    const std::string strText = ReadText(strPath);
    return {strText.begin(), strText.end()};
}

class SimRecord : public testing::Test {
protected:
    SimRecord() : m_strRecord(m_Bench.GetPortDir() + "/record") {}

    CSimDevice& Start(CSimOptions AOptions = {})
    {
        AOptions.strRecordDir = m_strRecord;
        CSimDevice& ADevice = m_Bench.StartDevice(AOptions);
        EXPECT_TRUE(m_Host.Open(3));
        return ADevice;
    }
    // Sends the frames and waits until the device has handled them all.
    void Run(CSimDevice& ADevice, const std::vector<CHostBytes>& Frames)
    {
        const std::uint64_t nBefore = ADevice.GetCounters().nFramesReceived;
        for (const CHostBytes& Frame : Frames)
            ASSERT_TRUE(m_Host.Send(Frame));
        ASSERT_TRUE(ADevice.WaitForFrames(nBefore + Frames.size(), 10s));
    }
    std::string Path(const std::string& strName) const { return m_strRecord + "/" + strName; }

    CSimBench m_Bench;
    CSimHost m_Host;
    std::string m_strRecord;
};

} // namespace

TEST_F(SimRecord, FirmwareAtItsAddressesWithErasedGapsWhenTheStageEnds)
{
    CSimDevice& ADevice = Start();
    Run(ADevice, {Hex("AC 07 00 1C 01 02 1F"), HandFrame(0x06, {0x00, 0x00, 0x00, 0x08, 4, 1, 2, 3, 4}),
                  HandFrame(0x06, {0x10, 0x00, 0x00, 0x08, 2, 5, 6})});
    EXPECT_FALSE(std::filesystem::exists(Path("firmware.bin")));
    Run(ADevice, {Hex("AC 05 00 1A 1A")});

    CHostBytes Expected(18, 0xFF);
    std::copy_n(Hex("01 02 03 04").begin(), 4, Expected.begin());
    Expected[16] = 5;
    Expected[17] = 6;
    EXPECT_EQ(ReadBytes(Path("firmware.bin")), Expected);
    EXPECT_EQ(ReadText(Path("firmware.map")), "08000000-08000003 4\n08000010-08000011 2\n");
    std::uint32_t dwBase = 0;
    EXPECT_EQ(ADevice.GetRecorder().GetFirmware(dwBase), Expected);
    EXPECT_EQ(dwBase, 0x08000000u);
    EXPECT_EQ(ADevice.GetFirmware().size(), 6u);
    EXPECT_EQ(ADevice.GetFirmware().at(0x08000011), 6);
}

TEST_F(SimRecord, EveryBlockStageWritesItsFileOnItsEndCommand)
{
    struct CCase {
        std::uint8_t btStart, btBlock, btEnd;
        const char* szFile;
    };
    CSimDevice& ADevice = Start();
    for (const CCase& ACase : {CCase{0x21, 0x23, 0x20, "flagdata.bin"}, CCase{0x31, 0x33, 0x30, "audioHead.bin"},
                               CCase{0x41, 0x43, 0x40, "rdfw.bin"}}) {
        const CHostBytes BlockA(4096, ACase.btBlock);
        const CHostBytes BlockB{0x01, 0xAC, 0x02};
        Run(ADevice, {HandFrame(ACase.btStart, ACase.btStart == 0x41 ? CHostBytes{0x03, 0x10, 0, 0} : CHostBytes{}),
                      HandFrame(ACase.btBlock, BlockA), HandFrame(ACase.btBlock, BlockB)});
        EXPECT_FALSE(std::filesystem::exists(Path(ACase.szFile))) << ACase.szFile;
        Run(ADevice, {HandFrame(ACase.btEnd)});
        CHostBytes Expected = BlockA;
        Expected.insert(Expected.end(), BlockB.begin(), BlockB.end());
        EXPECT_EQ(ReadBytes(Path(ACase.szFile)), Expected) << ACase.szFile;
        EXPECT_EQ(ADevice.GetImage(ACase.btStart), Expected) << ACase.szFile;
    }
    // 0x1003 bytes announced and sent.
    EXPECT_EQ(ReadText(Path("rdfw.size")), "announced 4099 received 4099 match\n");
    EXPECT_TRUE(ADevice.GetRecorder().RadarSizeMatched());
}

TEST_F(SimRecord, ARadarImageOfAnotherSizeThanAnnouncedIsNoted)
{
    CSimDevice& ADevice = Start();
    Run(ADevice, {HandFrame(0x41, {0x06, 0, 0, 0}), HandFrame(0x43, {1, 2, 3, 4, 5}), HandFrame(0x40)});
    EXPECT_EQ(ReadText(Path("rdfw.size")), "announced 6 received 5 MISMATCH\n");
    EXPECT_EQ(ADevice.GetRecorder().GetAnnouncedRadarSize(), 6u);
    EXPECT_FALSE(ADevice.GetRecorder().RadarSizeMatched());
}

TEST_F(SimRecord, WrittenSettingsAreKeptAndReadBack)
{
    CSimDevice& ADevice = Start();
    CHostBytes Menu(73);
    for (std::size_t i = 0; i < Menu.size(); ++i)
        Menu[i] = static_cast<std::uint8_t>(0xC0 ^ i);
    Run(ADevice, {HandFrame(0x4A, Menu)});
    EXPECT_EQ(ReadBytes(Path("settings.bin")), Menu);
    EXPECT_EQ(ADevice.GetSettings(), Menu);
    ASSERT_TRUE(m_Host.Send(Hex("AC 05 00 47 47")));
    ASSERT_TRUE(m_Host.WaitFrames(2));
    EXPECT_EQ(m_Host.GetFrames()[1], HandFrame(0x48, Prefixed(0x47, Menu)));
}

TEST_F(SimRecord, FramesLogHoldsEveryFrameInOrderWithItsTime)
{
    CSimOptions AOptions;
    AOptions.SettingsG.fill(0x07);
    CSimDevice& ADevice = Start(AOptions);
    ASSERT_TRUE(m_Host.Send(HandFrame(0x45, {3})));
    ASSERT_TRUE(m_Host.Send(Hex("AC 05 00 47 47")));
    ASSERT_TRUE(m_Host.WaitFrames(2));

    const std::string strLog = ReadText(Path("frames.log"));
    EXPECT_EQ(strLog, ADevice.GetRecorder().GetLogText());
    const std::string strInfo = "AC 0D 00 46 45 03 01 02 00 03 1A 2B D9";
    std::string strSettings = "AC 4F 00 48 47";
    for (int i = 0; i < 73; ++i)
        strSettings += " 07";
    strSettings += " 8E"; // 0x48 + 0x47 + 73 * 7
    const std::vector<std::string> Expected{
        "rx AC 06 00 45 03 48", "tx " + strInfo, "rx AC 06 00 45 03 48", "tx " + strInfo,
        "rx AC 05 00 47 47",    "tx " + strSettings};
    std::istringstream AStream(strLog);
    std::string strLine;
    unsigned long dwLast = 0;
    std::vector<std::string> Lines;
    while (std::getline(AStream, strLine)) {
        ASSERT_GT(strLine.size(), 9u);
        const unsigned long dwMs = std::stoul(strLine.substr(0, 8));
        EXPECT_GE(dwMs, dwLast);
        dwLast = dwMs;
        EXPECT_EQ(strLine[8], ' ');
        Lines.push_back(strLine.substr(9));
    }
    EXPECT_EQ(Lines, Expected);
}
