// The command line of the virtual device.
#include <fstream>
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "SimOptions.h"
#include "TempPortDir.h"

namespace {

const std::string kHexMenu = std::string(144, '0') + "7f";

std::vector<std::string> WithPort(std::vector<std::string> Args)
{
    Args.insert(Args.begin(), {"--port-dir", "/tmp/ports", "--com", "3"});
    return Args;
}

CCommandLine::EResult Parse(const std::vector<std::string>& Args, CSimOptions& AOptions)
{
    AOptions = CSimOptions();
    CCommandLine ALine("iap-sim");
    AOptions.Declare(ALine.GetApp());
    std::string strError;
    const CCommandLine::EResult eResult = ALine.Parse(Args, strError);
    EXPECT_EQ(eResult == CCommandLine::EResult::Error, !strError.empty()) << strError;
    return eResult;
}

} // namespace

TEST(SimOptions, EveryOptionSetsWhatItSays)
{
    CSimOptions A;
    ASSERT_EQ(Parse(WithPort({"--firmware-version", "0x0123", "--data-version", "5", "--radar-version", "65535",
                              "--firmware-version-after", "0x0101", "--radar-version-after", "9",
                              "--settings-g", kHexMenu, "--settings-i", "01 " + kHexMenu.substr(2),
                              "--accept-project-start", "--record", "/tmp/rec", "--baud", "256000",
                              "--answer-delay-ms", "20:0x23", "--seed", "7", "--silent", "--probe-command", "0x13",
                              "--probe-fault-times", "2", "--stop-after", "2:0x33", "--fail-block", "0x23:4",
                              "--fail-block", "0x06:1:7", "--no-menu", "--tear", "random", "--tear-gap-us", "50",
                              "--noise", "8", "--hangup-after", "10:0x43", "--device-request", "3",
                              "--device-request", "2:0x23", "--unsolicited", "0x50:4:0x33"}),
                    A),
              CCommandLine::EResult::Run);
    EXPECT_TRUE(A.strPortDir == "/tmp/ports" && A.nCom == 3 && A.uFirmwareVersion == 0x0123 && A.uDataVersion == 5 &&
                A.uRadarVersion == 0xFFFF);
    EXPECT_TRUE(A.FirmwareVersionAfter == 0x0101 && !A.DataVersionAfter && A.RadarVersionAfter == 9);
    EXPECT_TRUE(A.SettingsG[0] == 0 && A.SettingsG[72] == 0x7F && A.SettingsI[0] == 1 && A.SettingsI[72] == 0x7F);
    EXPECT_TRUE(A.bAcceptProjectStart && A.bSilent && A.bNoMenu);
    EXPECT_EQ(A.strRecordDir, "/tmp/rec");
    EXPECT_EQ(std::vector<std::uint32_t>({A.dwBaud, A.dwAnswerDelayMs, A.dwSeed, A.dwTearGapUs, A.nNoiseMax}),
              std::vector<std::uint32_t>({256000, 20, 7, 50, 8}));
    EXPECT_TRUE(A.eProbeFault == EProbeFault::OtherCommand && A.btProbeCommand == 0x13 && A.nProbeFaultTimes == 2);
    EXPECT_EQ(A.nAnswerDelayCommand, 0x23);
    EXPECT_TRUE(A.nStopAfter == 2 && A.nStopCommand == 0x33 && A.nHangupAfter == 10 && A.nHangupCommand == 0x43);
    EXPECT_EQ(A.FailBlocks, (std::vector<CFailBlock>{{0x23, 4, 3}, {0x06, 1, 7}}));
    EXPECT_EQ(A.eTear, ETear::Random);
    EXPECT_EQ(A.DeviceRequests, (std::vector<CFramePoint>{{3, std::nullopt}, {2, std::uint8_t{0x23}}}));
    EXPECT_EQ(A.Unsolicited, (std::vector<CUnsolicited>{{0x50, {4, std::uint8_t{0x33}}}}));
    ASSERT_EQ(Parse(WithPort({"--stop-after", "5", "--probe-short", "--tear", "bytes"}), A), CCommandLine::EResult::Run);
    EXPECT_TRUE(A.nStopAfter == 5 && A.nStopCommand == -1 && A.eProbeFault == EProbeFault::Short &&
                A.eTear == ETear::Bytes);
}

TEST(SimOptions, RefusesWhatMakesNoSense)
{
    CSimOptions AOptions;
    EXPECT_EQ(Parse({"--port-dir", "/tmp/ports"}, AOptions), CCommandLine::EResult::Error);
    for (const std::vector<std::string>& Args : std::vector<std::vector<std::string>>{
             {"--com", "0"}, {"--com", "256"}, {"--answer-delay-ms", "600001"}, {"--tear", "sideways"},
             {"--fail-block", "0x21:1"}, {"--fail-block", "0x23:0"}, {"--settings-g", "0102"},
             {"--settings-g", "zz" + kHexMenu.substr(2)}, {"--hangup-after", "0"}, {"--probe-command", "0x46"},
             {"--stop-after", "1:0x100"}, {"--stop-after", "5:"}, {"--firmware-version", "65536"},
             {"--data-version-after", "0x10000"}, {"--noise", "-1"}, {"--unsolicited", "0x13"},
             {"--unsolicited", "0x13:0"}, {"--unsolicited", "0x100:1"}})
        EXPECT_EQ(Parse(WithPort(Args), AOptions), CCommandLine::EResult::Error) << Args[0];
}

TEST(SimOptions, TakesThePortFolderFromTheEnvironmentAndSettingsFromAFile)
{
    CTempPortDir ADir;
    const std::string strFile = ADir.GetPath() + "/menu.bin";
    std::ofstream(strFile, std::ios::binary) << std::string(73, '\x5A');
    CSimOptions AOptions;
    ASSERT_EQ(Parse({"--com=9", "--settings-i=@" + strFile}, AOptions), CCommandLine::EResult::Run);
    EXPECT_EQ(AOptions.strPortDir, ADir.GetPath());
    EXPECT_EQ(AOptions.SettingsI[72], 0x5A);
    std::ofstream(strFile, std::ios::binary) << std::string(72, '\x5A');
    EXPECT_EQ(Parse({"--com", "9", "--settings-i", "@" + strFile}, AOptions), CCommandLine::EResult::Error);
}
