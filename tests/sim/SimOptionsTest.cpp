// The command line of the virtual device.
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

#include "SimOptions.h"
#include "TempPortDir.h"

namespace {

std::vector<std::string> WithPort(std::vector<std::string> Args)
{
    Args.insert(Args.begin(), {"--port-dir", "/tmp/ports", "--com", "3"});
    return Args;
}

struct COptionCase {
    const char* szName;
    std::vector<std::string> Args;
    std::function<void(const CSimOptions&)> Check;
};

class SimOptionsParse : public testing::TestWithParam<COptionCase> {};

std::string HexOf(std::uint8_t btFirst)
{
    std::string strHex;
    for (int i = 0; i < 73; ++i) {
        char szByte[4];
        std::snprintf(szByte, sizeof szByte, "%02x ", static_cast<std::uint8_t>(btFirst + i));
        strHex += szByte;
    }
    return strHex;
}

} // namespace

TEST_P(SimOptionsParse, SetsWhatTheOptionSays)
{
    CSimOptions AOptions;
    std::string strError;
    ASSERT_EQ(CSimOptions::Parse(GetParam().Args, AOptions, strError), CSimOptions::EParse::Run) << strError;
    EXPECT_EQ(AOptions.strPortDir, "/tmp/ports");
    EXPECT_EQ(AOptions.nCom, 3u);
    GetParam().Check(AOptions);
}

INSTANTIATE_TEST_SUITE_P(
    Options, SimOptionsParse,
    testing::Values(
        COptionCase{"defaults", WithPort({}),
                    [](const CSimOptions& A) {
                        EXPECT_EQ(A.uFirmwareVersion, 0x0102);
                        EXPECT_EQ(A.uDataVersion, 0x0003);
                        EXPECT_EQ(A.uRadarVersion, 0x1a2b);
                        EXPECT_EQ(A.dwBaud, 0u);
                        EXPECT_FALSE(A.bSilent);
                        EXPECT_EQ(A.eProbeFault, EProbeFault::None);
                        EXPECT_EQ(A.nStopAfter, -1);
                        EXPECT_EQ(A.nHangupAfter, -1);
                        EXPECT_EQ(A.eTear, ETear::None);
                        EXPECT_TRUE(A.FailBlocks.empty() && A.DeviceRequests.empty() && A.strRecordDir.empty());
                    }},
        COptionCase{"versions", WithPort({"--firmware-version", "0x0123", "--data-version", "5", "--radar-version", "65535"}),
                    [](const CSimOptions& A) {
                        EXPECT_EQ(A.uFirmwareVersion, 0x0123);
                        EXPECT_EQ(A.uDataVersion, 5);
                        EXPECT_EQ(A.uRadarVersion, 0xFFFF);
                    }},
        COptionCase{"settings_as_hex", WithPort({"--settings-g", HexOf(0x10), "--settings-i", HexOf(0x80)}),
                    [](const CSimOptions& A) {
                        EXPECT_EQ(A.SettingsG[0], 0x10);
                        EXPECT_EQ(A.SettingsG[72], 0x10 + 72);
                        EXPECT_EQ(A.SettingsI[1], 0x81);
                    }},
        COptionCase{"line_and_record",
                    WithPort({"--record", "/tmp/rec", "--baud", "256000", "--answer-delay-ms", "20", "--seed", "7",
                              "--accept-project-start"}),
                    [](const CSimOptions& A) {
                        EXPECT_EQ(A.strRecordDir, "/tmp/rec");
                        EXPECT_EQ(A.dwBaud, 256000u);
                        EXPECT_EQ(A.dwAnswerDelayMs, 20u);
                        EXPECT_EQ(A.dwSeed, 7u);
                        EXPECT_TRUE(A.bAcceptProjectStart);
                    }},
        COptionCase{"probe_faults", WithPort({"--probe-command", "0x13", "--probe-fault-times", "2"}),
                    [](const CSimOptions& A) {
                        EXPECT_EQ(A.eProbeFault, EProbeFault::OtherCommand);
                        EXPECT_EQ(A.btProbeCommand, 0x13);
                        EXPECT_EQ(A.nProbeFaultTimes, 2u);
                    }},
        COptionCase{"switch_faults", WithPort({"--silent", "--probe-short", "--no-menu"}),
                    [](const CSimOptions& A) {
                        EXPECT_TRUE(A.bSilent);
                        EXPECT_EQ(A.eProbeFault, EProbeFault::Short);
                        EXPECT_TRUE(A.bNoMenu);
                    }},
        COptionCase{"stop_after_frames_of_a_command", WithPort({"--stop-after", "2:0x33"}),
                    [](const CSimOptions& A) {
                        EXPECT_EQ(A.nStopAfter, 2);
                        EXPECT_EQ(A.nStopCommand, 0x33);
                    }},
        COptionCase{"stop_after_frames", WithPort({"--stop-after", "5"}),
                    [](const CSimOptions& A) {
                        EXPECT_EQ(A.nStopAfter, 5);
                        EXPECT_EQ(A.nStopCommand, -1);
                    }},
        COptionCase{"fail_blocks", WithPort({"--fail-block", "0x23:4", "--fail-block", "0x06:1:7"}),
                    [](const CSimOptions& A) {
                        EXPECT_EQ(A.FailBlocks, (std::vector<CFailBlock>{{0x23, 4, 3}, {0x06, 1, 7}}));
                    }},
        COptionCase{"tear_and_noise", WithPort({"--tear", "random", "--tear-gap-us", "50", "--noise", "8"}),
                    [](const CSimOptions& A) {
                        EXPECT_EQ(A.eTear, ETear::Random);
                        EXPECT_EQ(A.dwTearGapUs, 50u);
                        EXPECT_EQ(A.nNoiseMax, 8u);
                    }},
        COptionCase{"points", WithPort({"--hangup-after", "10:0x43", "--device-request", "3", "--device-request", "2:0x23"}),
                    [](const CSimOptions& A) {
                        EXPECT_EQ(A.nHangupAfter, 10);
                        EXPECT_EQ(A.nHangupCommand, 0x43);
                        EXPECT_EQ(A.DeviceRequests,
                                  (std::vector<CFramePoint>{{3, std::nullopt}, {2, std::uint8_t{0x23}}}));
                    }}),
    [](const testing::TestParamInfo<COptionCase>& AInfo) { return std::string(AInfo.param.szName); });

TEST(SimOptions, RefusesWhatMakesNoSense)
{
    const std::vector<std::vector<std::string>> Cases{
        {"--port-dir", "/tmp/ports"},
        WithPort({"--com", "0"}),
        WithPort({"--com", "256"}),
        WithPort({"--bogus"}),
        WithPort({"--tear", "sideways"}),
        WithPort({"--fail-block", "0x21:1"}),
        WithPort({"--fail-block", "0x23:0"}),
        WithPort({"--settings-g", "0102"}),
        WithPort({"--settings-g", HexOf(0).replace(0, 1, "z")}),
        WithPort({"--baud"}),
        WithPort({"--hangup-after", "0"}),
        WithPort({"--probe-command", "0x46"}),
        WithPort({"--stop-after", "1:0x100"}),
        WithPort({"--firmware-version", "65536"}),
        WithPort({"--noise", "-1"}),
    };
    for (const std::vector<std::string>& Args : Cases) {
        CSimOptions AOptions;
        std::string strError;
        EXPECT_EQ(CSimOptions::Parse(Args, AOptions, strError), CSimOptions::EParse::Error) << Args.back();
        EXPECT_FALSE(strError.empty()) << Args.back();
    }
}

TEST(SimOptions, TakesThePortFolderFromTheEnvironmentAndSettingsFromAFile)
{
    CTempPortDir ADir;
    const std::string strFile = ADir.GetPath() + "/menu.bin";
    std::ofstream(strFile, std::ios::binary) << std::string(73, '\x5A');
    CSimOptions AOptions;
    std::string strError;
    const std::vector<std::string> Args{"--com", "9", "--settings-i", "@" + strFile};
    ASSERT_EQ(CSimOptions::Parse(Args, AOptions, strError), CSimOptions::EParse::Run) << strError;
    EXPECT_EQ(AOptions.strPortDir, ADir.GetPath());
    EXPECT_EQ(AOptions.SettingsI[72], 0x5A);
    std::ofstream(strFile, std::ios::binary) << std::string(72, '\x5A');
    EXPECT_EQ(CSimOptions::Parse(Args, AOptions, strError), CSimOptions::EParse::Error);
}

TEST(SimOptions, HelpNamesEveryOptionTheParserTakes)
{
    const std::vector<std::vector<std::string>> Options{
        {"--port-dir", "d"}, {"--com", "1"}, {"--firmware-version", "1"}, {"--data-version", "1"},
        {"--radar-version", "1"}, {"--settings-g", HexOf(0)}, {"--settings-i", HexOf(0)},
        {"--accept-project-start"}, {"--record", "r"}, {"--baud", "9600"}, {"--answer-delay-ms", "1"},
        {"--seed", "1"}, {"--silent"}, {"--probe-short"}, {"--probe-command", "0x13"},
        {"--probe-fault-times", "1"}, {"--stop-after", "1"}, {"--fail-block", "0x23:1"}, {"--no-menu"},
        {"--tear", "bytes"}, {"--tear-gap-us", "1"}, {"--noise", "1"}, {"--hangup-after", "1"},
        {"--device-request", "1"}};
    const std::string strHelp = CSimOptions::GetHelpText();
    for (const std::vector<std::string>& Option : Options) {
        EXPECT_NE(strHelp.find("  " + Option[0] + " "), std::string::npos) << Option[0];
        CSimOptions AOptions;
        std::string strError;
        EXPECT_EQ(CSimOptions::Parse(WithPort(Option), AOptions, strError), CSimOptions::EParse::Run) << strError;
    }
    CSimOptions AOptions;
    std::string strError;
    EXPECT_EQ(CSimOptions::Parse({{"--help"}}, AOptions, strError), CSimOptions::EParse::Help);
}
