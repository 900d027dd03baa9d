// Whole updates against a device on a pseudo-terminal.
#include <gtest/gtest.h>

#include "EngineTestKit.h"

using namespace std::chrono_literals;
using CResults = std::vector<std::pair<int, int>>;

namespace {

class Update : public testing::Test {
protected:
    CTempPortDir m_Ports;
    CUpdateFolder m_Files;

    bool WaitDone(CEngine& AEngine) { return AEngine.ANotes.WaitFor(WM_STAGE_RESULT, 6, 60s); }
};

std::vector<std::uint8_t> After(const std::vector<std::uint8_t>& Commands, std::size_t nSkip)
{
    return std::vector<std::uint8_t>(Commands.begin() + static_cast<long>(std::min(nSkip, Commands.size())),
                                     Commands.end());
}

} // namespace

TEST_F(Update, AllFourImagesAndAChangedMenuReachTheDeviceWhole)
{
    const CBytes Firmware = RandomBytes(70000, 1);  // crosses a 64 KiB segment
    const CBytes EDog = RandomBytes(8193, 2);
    const CBytes Music = RandomBytes(5000, 3);
    const CBytes Radar = RandomBytes(70000, 4);
    m_Files.Write("AC7811_project.hex", MakeHex(0x08000000, Firmware, "0102"));
    m_Files.Write("flagdata.bin", EDog);
    m_Files.Write("audioHead.bin", Music);
    m_Files.Write("rdfw.bin", Radar);
    CTestDevice ADevice(m_Ports.GetPath(), 3);
    CEngine AEngine;
    AEngine.Start(m_Files);
    ASSERT_TRUE(AEngine.WaitConnected());

    CSettingsBlock AMenu{};
    AEngine.AWork.GetSettingsG(AMenu.data());
    EXPECT_EQ(AMenu, ADevice.SettingsG) << "block G holds the device's menu";
    AMenu[0] ^= 0xFF;
    AEngine.AWork.SetWriteSettings(1);
    AEngine.AWork.SetSettingsG(AMenu.data());
    ASSERT_TRUE(AEngine.AWork.StartUpdate());
    ASSERT_TRUE(WaitDone(AEngine));

    EXPECT_EQ(AEngine.ANotes.Results(), (CResults{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}}));
    EXPECT_EQ(AEngine.ANotes.StageStarts(), (std::vector<int>{1, 2, 3, 4, 4}));

    const auto Map = ADevice.Firmware();
    ASSERT_EQ(Map.size(), Firmware.size());
    EXPECT_EQ(Map.begin()->first, 0x08000000u);
    CBytes Written;
    for (const auto& [dwAddress, bt] : Map)
        Written.push_back(bt);
    EXPECT_EQ(Written, Firmware);
    EXPECT_EQ(std::prev(Map.end())->first, 0x08000000u + Firmware.size() - 1) << "no gaps, no shifted segment";
    EXPECT_EQ(ADevice.Blocks(0x23), EDog);
    EXPECT_EQ(ADevice.Blocks(0x33), Music);
    EXPECT_EQ(ADevice.Blocks(0x43), Radar);
    EXPECT_EQ(ADevice.AnnouncedRadarSize(), 70000u);
    EXPECT_EQ(ADevice.WrittenSettings(), CBytes(AMenu.begin(), AMenu.end()));

    const std::vector<CBytes> Frames = ADevice.Peer().GetFrames();
    ASSERT_GE(Frames.size(), 5u);
    EXPECT_EQ(Frames[0], (CBytes{0xAC, 0x06, 0x00, 0x45, 0x03, 0x48})) << "the probe first";
    EXPECT_EQ(Frames[1], Frames[0]) << "then the queued request";
    EXPECT_EQ(Frames[2][3], 0x47);
    EXPECT_EQ(Frames[3][3], 0x49);
    EXPECT_EQ(Frames[4], CPtyPeer::MakeFrame(0x1C, {0x01, 0x02})) << "the trailer 0102 is the version";
}

TEST_F(Update, OnlyTheRadarImage)
{
    m_Files.Write("rdfw.bin", RandomBytes(1100, 5));
    CTestDevice ADevice(m_Ports.GetPath(), 3);
    CEngine AEngine;
    AEngine.Start(m_Files);
    ASSERT_TRUE(AEngine.WaitConnected());
    EXPECT_EQ(AEngine.AWork.GetRadarCount(), 2u);
    EXPECT_EQ(AEngine.AWork.GetProjectCount(), 0u);
    ASSERT_TRUE(AEngine.AWork.StartUpdate());
    ASSERT_TRUE(WaitDone(AEngine));
    EXPECT_EQ(AEngine.ANotes.Results(), (CResults{{4, 0}, {6, 0}}));
    EXPECT_EQ(AEngine.ANotes.StageStarts(), (std::vector<int>{4}));
    ASSERT_TRUE(ADevice.Peer().WaitForFrames(8, 10s));
    EXPECT_EQ(After(ADevice.CommandsReceived(), 4), (std::vector<std::uint8_t>{0x41, 0x43, 0x43, 0x40}));
}

TEST_F(Update, OnlyTheMenuAndNothingToDo)
{
    CTestDevice ADevice(m_Ports.GetPath(), 3);
    CEngine AEngine;
    AEngine.Start(m_Files);
    ASSERT_TRUE(AEngine.WaitConnected());
    EXPECT_FALSE(AEngine.AWork.StartUpdate()) << "no image, no menu: nothing is sent";
    Sleep(100);
    EXPECT_EQ(ADevice.CommandsReceived().size(), 4u);
    EXPECT_TRUE(AEngine.ANotes.Results().empty());

    AEngine.AWork.SetWriteSettings(1);
    ASSERT_TRUE(AEngine.AWork.StartUpdate());
    ASSERT_TRUE(WaitDone(AEngine));
    EXPECT_EQ(AEngine.ANotes.Results(), (CResults{{5, 0}, {6, 0}}));
    EXPECT_TRUE(AEngine.ANotes.StageStarts().empty());
    EXPECT_EQ(After(ADevice.CommandsReceived(), 4), (std::vector<std::uint8_t>{0x4A}));
}

TEST_F(Update, AudioThenRadarAnnouncesStageFourTwice)
{
    m_Files.Write("audioHead.bin", RandomBytes(100, 6));
    m_Files.Write("rdfw.bin", RandomBytes(129, 7));
    CTestDevice ADevice(m_Ports.GetPath(), 3);
    CEngine AEngine;
    AEngine.Start(m_Files);
    ASSERT_TRUE(AEngine.WaitConnected());
    ASSERT_TRUE(AEngine.AWork.StartUpdate());
    ASSERT_TRUE(WaitDone(AEngine));
    EXPECT_EQ(AEngine.ANotes.StageStarts(), (std::vector<int>{3, 4, 4}));
    EXPECT_EQ(AEngine.ANotes.Results(), (CResults{{3, 0}, {4, 0}, {6, 0}}));
}

TEST_F(Update, TheFirstAnsweringPortIsUsedAndLaterOnesAreNeverOpened)
{
    CTestDevice ADevice3(m_Ports.GetPath(), 3);
    CTestDevice ADevice7(m_Ports.GetPath(), 7);
    CEngine AEngine;
    AEngine.Start(m_Files);
    ASSERT_TRUE(AEngine.WaitConnected());
    EXPECT_EQ(AEngine.AWork.GetPortNumber(), 3);
    EXPECT_TRUE(ADevice7.Peer().GetRawBytes().empty());
}

TEST_F(Update, FivePortsWithoutDeviceAndOneAnsweringWithFourBytes)
{
    CPtyPeer ABadPeer(m_Ports.GetPath(), 2);
    ABadPeer.SetHandler([](const CBytes&) { return CBytes{0xAC, 0x05, 0x00, 0x46}; });
    CWorkSettings ASettings = CEngine::Fast();
    ASettings.bSearchOnce = true;
    CEngine AEngine(ASettings);
    AEngine.Start(m_Files, 6);
    Sleep(3000);
    EXPECT_FALSE(AEngine.AWork.IsConnected());
    EXPECT_TRUE(AEngine.ANotes.GetNotes().empty());
    EXPECT_EQ(ABadPeer.GetFrames().size(), 1u) << "probed once, never taken";
}

TEST_F(Update, DamagedFirmwareIsRefusedBeforeAnythingIsSent)
{
    std::string strHex = MakeHex(0x08000000, RandomBytes(64, 8), "0102");
    strHex[strHex.find('\n') + 12] ^= 1;  // a data digit of the second record
    m_Files.Write("AC7811_project.hex", strHex);
    m_Files.Write("flagdata.bin", RandomBytes(10, 9));
    CTestDevice ADevice(m_Ports.GetPath(), 3);
    CEngine AEngine;
    AEngine.Start(m_Files);
    ASSERT_TRUE(AEngine.WaitConnected());
    EXPECT_FALSE(AEngine.AWork.StartUpdate());
    EXPECT_EQ(AEngine.ANotes.Results(), (CResults{{1, 1}, {6, 1}}));
    Sleep(100);
    EXPECT_EQ(ADevice.CommandsReceived().size(), 4u) << "nothing beyond the connection's own frames";
}

TEST_F(Update, ADeviceThatStopsAnsweringFailsTheStage)
{
    m_Files.Write("flagdata.bin", RandomBytes(5 * 4096, 10));
    CTestDevice ADevice(m_Ports.GetPath(), 3);
    ADevice.bFailFirstBlock = true;
    CEngine AEngine;
    AEngine.Start(m_Files);
    ASSERT_TRUE(AEngine.WaitConnected());
    ADevice.nSilentFromCommand = 0x23;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(AEngine.AWork.StartUpdate());
    const bool bDone = WaitDone(AEngine);
    const std::string strTrace = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(bDone);
    EXPECT_EQ(AEngine.ANotes.Results(), (CResults{{2, 1}, {6, 1}}));
    EXPECT_EQ(AEngine.AWork.GetTaskCount(), 0u);
    EXPECT_NE(strTrace.find("[Update] stage 2 failed"), std::string::npos) << strTrace;
    EXPECT_NE(strTrace.find("command 23 unanswered"), std::string::npos);
}

TEST_F(Update, AStartCommandWithoutGoAheadFailsItsStage)
{
    m_Files.Write("audioHead.bin", RandomBytes(10, 11));
    CTestDevice ADevice(m_Ports.GetPath(), 3);
    CEngine AEngine;
    AEngine.Start(m_Files);
    ASSERT_TRUE(AEngine.WaitConnected());
    ADevice.nSilentFromCommand = 0x31;
    ASSERT_TRUE(AEngine.AWork.StartUpdate());
    ASSERT_TRUE(WaitDone(AEngine));
    EXPECT_EQ(AEngine.ANotes.Results(), (CResults{{3, 1}, {6, 1}}));
}

TEST_F(Update, AnUnpluggedDeviceEndsTheUpdateAndIsFoundAgain)
{
    m_Files.Write("flagdata.bin", RandomBytes(3 * 4096, 12));
    CWorkSettings ASettings = CEngine::Fast();
    ASettings.dwStallTimeout = 60000;  // the loss alone must end it
    CEngine AEngine(ASettings);
    {
        CTestDevice ADevice(m_Ports.GetPath(), 3);
        AEngine.Start(m_Files);
        ASSERT_TRUE(AEngine.WaitConnected());
        ADevice.nSilentFromCommand = 0x23;
        ASSERT_TRUE(AEngine.AWork.StartUpdate());
        ASSERT_TRUE(AEngine.ANotes.WaitFor(WM_STAGE_START, 2));
        ADevice.Peer().Hangup();
        ASSERT_TRUE(AEngine.ANotes.WaitFor(WM_DEVICE_LOST, -1, 10s));
        ASSERT_TRUE(WaitDone(AEngine));
        EXPECT_EQ(AEngine.ANotes.Results(), (CResults{{2, 1}, {6, 1}}));
    }
    CTestDevice ADevice(m_Ports.GetPath(), 4);
    const auto CountReady = [&] {
        std::size_t nReady = 0;
        for (const CNote& ANote : AEngine.ANotes.GetNotes())
            nReady += ANote.uMessage == WM_DEVICE_READY;
        return nReady;
    };
    for (int i = 0; i < 2000 && CountReady() < 2; ++i)
        Sleep(10);
    EXPECT_EQ(CountReady(), 2u);
    EXPECT_EQ(AEngine.AWork.GetPortNumber(), 4);
    EXPECT_EQ(AEngine.AWork.GetEDogCount(), 3u) << "images loaded again for the new connection";
}

TEST_F(Update, FirmwareOfFiveRecordsSendsTwoFramesAtTheirAddresses)
{
    const CBytes Data = RandomBytes(32, 13);
    m_Files.Write("AC7811_project.hex", MakeHex(0x08000000, Data, "0123", false));
    CTestDevice ADevice(m_Ports.GetPath(), 3);
    CEngine AEngine;
    AEngine.Start(m_Files);
    ASSERT_TRUE(AEngine.WaitConnected());
    EXPECT_EQ(AEngine.AWork.GetProjectCount(), 5u);
    ASSERT_TRUE(AEngine.AWork.StartUpdate());
    ASSERT_TRUE(WaitDone(AEngine));
    EXPECT_EQ(AEngine.ANotes.Results(), (CResults{{1, 0}, {6, 0}}));
    const std::vector<CBytes> Frames = ADevice.Peer().GetFrames();
    ASSERT_EQ(Frames.size(), 8u);
    EXPECT_EQ(Frames[4], CPtyPeer::MakeFrame(0x1C, {0x01, 0x23}));
    EXPECT_EQ(Frames[5][1], 26) << "21-byte payload";
    EXPECT_EQ(CBytes(Frames[5].begin() + 4, Frames[5].begin() + 9), (CBytes{0x00, 0x00, 0x00, 0x08, 0x10}));
    EXPECT_EQ(CBytes(Frames[6].begin() + 4, Frames[6].begin() + 9), (CBytes{0x10, 0x00, 0x00, 0x08, 0x10}));
    EXPECT_EQ(Frames[7][3], 0x1A);
    // The progress total is the number of frames, so the bar reaches 100%.
    const auto Notes = AEngine.ANotes.GetNotes();
    EXPECT_NE(std::find(Notes.begin(), Notes.end(), CNote{WM_PROGRESS, 2, 2}), Notes.end());
}

TEST_F(Update, ShortDeviceInformationIsIgnored)
{
    CTestDevice ADevice(m_Ports.GetPath(), 3);
    ADevice.bShortInfo = true;
    CEngine AEngine;
    AEngine.Start(m_Files);
    ASSERT_TRUE(ADevice.Peer().WaitForFrames(2, 10s));
    Sleep(300);
    EXPECT_FALSE(AEngine.ANotes.WaitFor(WM_DEVICE_READY, -1, 200ms));
    EXPECT_EQ(ADevice.CommandsReceived(), (std::vector<std::uint8_t>{0x45, 0x45}));
}
