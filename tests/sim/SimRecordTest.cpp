// What --record leaves behind, for a small stage of each kind, and the same
// images in memory. (The soak test and scripts/demo compare whole updates'
// records with their files.)
#include <filesystem>

#include "ChildProcess.h"
#include "SimHost.h"

namespace {

class SimRecord : public CSimFixture, public testing::Test {
protected:
    CSimDevice& Start(CSimOptions AOptions = {})
    {
        AOptions.strRecordDir = m_Dir.GetPath() + "/record";
        CSimDevice& ADevice = StartDevice(AOptions);
        EXPECT_TRUE(m_Host.Open(3));
        // The device counts a frame once its answer is out, so the probe
        // may still be uncounted when the host has its answer.
        EXPECT_TRUE(ADevice.WaitForFrames(1, 10s));
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
    std::string Path(const std::string& strName) const { return m_Dir.GetPath() + "/record/" + strName; }
};

} // namespace

TEST_F(SimRecord, FirmwareAtItsAddressesWithErasedGapsWhenTheStageEnds)
{
    CSimDevice& ADevice = Start();
    Run(ADevice, {Hex("AC 07 00 1C 01 02 1F"), HandFrame(0x06, {0x00, 0, 0, 0x08, 4, 1, 2, 3, 4}),
                  HandFrame(0x06, {0x10, 0, 0, 0x08, 2, 5, 6})});
    EXPECT_FALSE(std::filesystem::exists(Path("firmware.bin")));
    Run(ADevice, {Hex("AC 05 00 1A 1A")});
    const CHostBytes Expected = Hex("01 02 03 04 FF FF FF FF FF FF FF FF FF FF FF FF 05 06");
    EXPECT_EQ(ReadFileBytes(Path("firmware.bin")), Expected);
    EXPECT_EQ(ReadWholeFile(Path("firmware.map")), "08000000-08000003 4\n08000010-08000011 2\n");
    std::uint32_t dwBase = 0;
    EXPECT_EQ(ADevice.GetRecorder().GetFirmware(dwBase), Expected);
    EXPECT_EQ(dwBase, 0x08000000u);
    EXPECT_EQ(ADevice.GetFirmware().size(), 6u);
    EXPECT_EQ(ADevice.GetFirmware().at(0x08000011), 6);
}

TEST_F(SimRecord, EveryBlockStageWritesItsFileOnItsEndCommand)
{
    CSimDevice& ADevice = Start();
    for (const auto& [btStart, szFile] : {std::pair{0x21, "flagdata.bin"}, {0x31, "audioHead.bin"}, {0x41, "rdfw.bin"}}) {
        const auto btBlock = static_cast<std::uint8_t>(btStart + 2);
        const CHostBytes Image = Prefixed(btBlock, CHostBytes(4098, 0xAC));
        Run(ADevice, {HandFrame(btStart, btStart == 0x41 ? Hex("03 10 00 00") : CHostBytes{}),
                      HandFrame(btBlock, {Image.begin(), Image.begin() + 4096}),
                      HandFrame(btBlock, {Image.begin() + 4096, Image.end()})});
        EXPECT_FALSE(std::filesystem::exists(Path(szFile))) << szFile;
        Run(ADevice, {HandFrame(static_cast<std::uint8_t>(btStart - 1))});
        EXPECT_EQ(ReadFileBytes(Path(szFile)), Image) << szFile;
        EXPECT_EQ(ADevice.GetImage(btStart), Image) << szFile;
    }
    EXPECT_EQ(ReadWholeFile(Path("rdfw.size")), "announced 4099 received 4099 match\n");
    EXPECT_TRUE(ADevice.GetRecorder().RadarSizeMatched());
    Run(ADevice, {HandFrame(0x41, {0x06, 0, 0, 0}), HandFrame(0x43, {1, 2, 3, 4, 5}), HandFrame(0x40)});
    EXPECT_EQ(ReadWholeFile(Path("rdfw.size")), "announced 6 received 5 MISMATCH\n");
}
