// Each fault option does what it says, seen from the host's side.
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "SimHost.h"

using namespace std::chrono_literals;

namespace {

// The information answer with the default versions, for port 3.
const CHostBytes kInfoPayload = Hex("45 03 01 02 00 03 1A 2B");

std::vector<CHostBytes> SentBytes(const CSimDevice& ADevice)
{
    std::vector<CHostBytes> Sent;
    for (const CSimLogEntry& AEntry : ADevice.GetRecorder().GetLog())
        if (AEntry.eKind == ESimLogKind::Sent)
            Sent.push_back(AEntry.Bytes);
    return Sent;
}

struct CProbeCase {
    const char* szName;
    std::function<void(CSimOptions&)> Set;
    std::vector<CHostBytes> Sent; // what the device answered the probe with
};

class SimProbeFault : public testing::TestWithParam<CProbeCase> {
protected:
    CSimBench m_Bench;
    CSimHost m_Host;
};

} // namespace

TEST_P(SimProbeFault, TheHostFindsNoDevice)
{
    CSimOptions AOptions;
    GetParam().Set(AOptions);
    CSimDevice& ADevice = m_Bench.StartDevice(AOptions);
    EXPECT_FALSE(m_Host.Open(3));
    ASSERT_TRUE(ADevice.WaitForFrames(1, 5s));
    EXPECT_EQ(ADevice.GetReceivedFrames()[0], Hex("AC 06 00 45 03 48"));
    EXPECT_EQ(SentBytes(ADevice), GetParam().Sent);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimProbeFault,
    testing::Values(CProbeCase{"silent", [](CSimOptions& A) { A.bSilent = true; }, {}},
                    CProbeCase{"four_bytes", [](CSimOptions& A) { A.eProbeFault = EProbeFault::Short; },
                               {Hex("AC 0D 00 46")}},
                    CProbeCase{"other_command",
                               [](CSimOptions& A) {
                                   A.eProbeFault = EProbeFault::OtherCommand;
                                   A.btProbeCommand = 0x13;
                               },
                               {HandFrame(0x13, kInfoPayload)}},
                    CProbeCase{"stopped_from_the_start", [](CSimOptions& A) { A.nStopAfter = 0; }, {}}),
    [](const testing::TestParamInfo<CProbeCase>& AInfo) { return std::string(AInfo.param.szName); });

namespace {

// A run of frames from the host and the answers the device gives.
struct CStreamCase {
    const char* szName;
    std::function<void(CSimOptions&)> Set;
    std::vector<CHostBytes> Requests;
    std::vector<CHostBytes> Answers;
    CHostBytes EDogImage; // what the device keeps of 0x23 blocks
};

class SimStreamFault : public testing::TestWithParam<CStreamCase> {
protected:
    CSimBench m_Bench;
    CSimHost m_Host;
};

const CHostBytes kEDogStart = Hex("AC 05 00 21 21");
const CHostBytes kBlockA = HandFrame(0x23, {0xA1, 0xA2});
const CHostBytes kBlockB = HandFrame(0x23, {0xB1});
const CHostBytes kBlockOk = Hex("AC 07 00 24 23 01 48");

} // namespace

TEST_P(SimStreamFault, AnswersAsTold)
{
    const CStreamCase& ACase = GetParam();
    CSimOptions AOptions;
    ACase.Set(AOptions);
    CSimDevice& ADevice = m_Bench.StartDevice(AOptions);
    ASSERT_TRUE(m_Host.Open(3));
    for (const CHostBytes& Request : ACase.Requests)
        ASSERT_TRUE(m_Host.Send(Request));
    ASSERT_TRUE(ADevice.WaitForFrames(ACase.Requests.size() + 1, 10s));
    ASSERT_TRUE(m_Host.WaitFrames(ACase.Answers.size()));
    // Everything the device sent has been read by now, the probe's answer
    // aside; nothing may follow the expected answers.
    EXPECT_EQ(ADevice.GetCounters().nFramesSent, ACase.Answers.size() + 1);
    EXPECT_EQ(m_Host.GetFrames(), ACase.Answers);
    EXPECT_EQ(ADevice.GetImage(0x21), ACase.EDogImage);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimStreamFault,
    testing::Values(
        CStreamCase{"stop_after_three_frames", [](CSimOptions& A) { A.nStopAfter = 3; },
                    {kEDogStart, kBlockA, kBlockB},
                    {Hex("AC 05 00 22 22"), kBlockOk},
                    {0xA1, 0xA2}},
        CStreamCase{"stop_after_one_block",
                    [](CSimOptions& A) {
                        A.nStopAfter = 1;
                        A.nStopCommand = 0x23;
                    },
                    {kEDogStart, kBlockA, kBlockB, Hex("AC 05 00 31 31")},
                    {Hex("AC 05 00 22 22"), kBlockOk},
                    {0xA1, 0xA2}},
        CStreamCase{"fail_block_two_once",
                    [](CSimOptions& A) { A.FailBlocks = {{0x23, 2, 0x05}}; },
                    {kEDogStart, kBlockA, kBlockB, kBlockB},
                    {Hex("AC 05 00 22 22"), kBlockOk, Hex("AC 07 00 24 23 05 4C"), kBlockOk},
                    {0xA1, 0xA2, 0xB1}},
        CStreamCase{"fail_record_one_once",
                    [](CSimOptions& A) { A.FailBlocks = {{0x06, 1, 0x03}}; },
                    {Hex("AC 07 00 1C 01 02 1F"), HandFrame(0x06, {0, 0, 0, 8, 1, 0x77}),
                     HandFrame(0x06, {0, 0, 0, 8, 1, 0x77})},
                    {Hex("AC 05 00 19 19"), Hex("AC 07 00 0D 06 03 16"), Hex("AC 07 00 0D 06 02 15")},
                    {}},
        CStreamCase{"no_menu", [](CSimOptions& A) { A.bNoMenu = true; },
                    {Hex("AC 05 00 47 47"), Hex("AC 05 00 49 49"), kEDogStart},
                    {Hex("AC 05 00 22 22")},
                    {}},
        CStreamCase{"device_request_after_the_second_frame",
                    [](CSimOptions& A) { A.DeviceRequests = {{2, std::nullopt}}; },
                    {HandFrame(0x45, {3}), kEDogStart},
                    {HandFrame(0x46, kInfoPayload), Hex("AC 05 00 1B 1B"), Hex("AC 05 00 22 22")},
                    {}},
        CStreamCase{"device_request_after_the_first_block",
                    [](CSimOptions& A) { A.DeviceRequests = {{1, 0x23}}; },
                    {kEDogStart, kBlockA, kBlockB},
                    {Hex("AC 05 00 22 22"), kBlockOk, Hex("AC 05 00 1B 1B"), kBlockOk},
                    {0xA1, 0xA2, 0xB1}}),
    [](const testing::TestParamInfo<CStreamCase>& AInfo) { return std::string(AInfo.param.szName); });

class SimFault : public testing::Test {
protected:
    CSimBench m_Bench;
    CSimHost m_Host;
};

TEST_F(SimFault, AProbeFaultForTheFirstTimesOnlyLetsALaterProbeThrough)
{
    CSimOptions AOptions;
    AOptions.eProbeFault = EProbeFault::Short;
    AOptions.nProbeFaultTimes = 2;
    m_Bench.StartDevice(AOptions);
    EXPECT_FALSE(m_Host.Open(3));
    EXPECT_FALSE(m_Host.Open(3));
    EXPECT_TRUE(m_Host.Open(3));
}

TEST_F(SimFault, TornAnswersArriveWholeAfterManyWrites)
{
    for (const ETear eTear : {ETear::Bytes, ETear::Random}) {
        CSimBench ABench;
        CSimHost AHost;
        CSimOptions AOptions;
        AOptions.eTear = eTear;
        CSimDevice& ADevice = ABench.StartDevice(AOptions);
        // A torn probe answer may miss the probe's read; the search tries again.
        bool bOpen = false;
        for (int i = 0; i < 5 && !bOpen; ++i)
            bOpen = AHost.Open(3);
        ASSERT_TRUE(bOpen);
        const std::size_t nChunksBefore = AHost.GetChunkCount();
        const std::uint64_t nWritesBefore = ADevice.GetCounters().nWrites;
        ASSERT_TRUE(AHost.Send(Hex("AC 05 00 47 47")));
        ASSERT_TRUE(AHost.WaitFrames(1));
        EXPECT_EQ(AHost.GetFrames()[0], HandFrame(0x48, Prefixed(0x47, AOptions.SettingsG)));
        const std::uint64_t nWrites = ADevice.GetCounters().nWrites - nWritesBefore;
        if (eTear == ETear::Bytes)
            EXPECT_EQ(nWrites, 79u);
        else
            EXPECT_TRUE(nWrites > 79u / 8 && nWrites < 79u) << nWrites;
        EXPECT_GT(AHost.GetChunkCount() - nChunksBefore, 1u);
    }
}

TEST_F(SimFault, NoiseBetweenFramesNeverHoldsAStartByte)
{
    CSimOptions AOptions;
    AOptions.nNoiseMax = 8;
    AOptions.SettingsG.fill(0x11);
    CSimDevice& ADevice = m_Bench.StartDevice(AOptions);
    ASSERT_TRUE(m_Host.Open(3));
    const std::vector<CHostBytes> Requests{Hex("AC 05 00 47 47"), Hex("AC 05 00 21 21"), Hex("AC 05 00 31 31")};
    for (const CHostBytes& Request : Requests)
        ASSERT_TRUE(m_Host.Send(Request));
    ASSERT_TRUE(m_Host.WaitFrames(3));
    ASSERT_TRUE(ADevice.WaitForFrames(4, 5s));
    const CHostBytes SettingsAnswer = Prefixed(0x47, CHostBytes(73, 0x11));
    EXPECT_EQ(m_Host.GetFrames(),
              (std::vector{HandFrame(0x48, SettingsAnswer), Hex("AC 05 00 22 22"), Hex("AC 05 00 32 32")}));

    std::size_t nNoise = 0;
    for (const CSimLogEntry& AEntry : ADevice.GetRecorder().GetLog()) {
        if (AEntry.eKind != ESimLogKind::Noise)
            continue;
        nNoise += AEntry.Bytes.size();
        EXPECT_TRUE(AEntry.Bytes.size() >= 1 && AEntry.Bytes.size() <= 8);
        EXPECT_EQ(std::count(AEntry.Bytes.begin(), AEntry.Bytes.end(), 0xAC), 0);
    }
    EXPECT_EQ(ADevice.GetCounters().nNoiseBytes, nNoise);
    // The noise behind the three answers reached the host between them.
    const std::size_t nFrameBytes = 79 + 5 + 5;
    EXPECT_GT(m_Host.GetRawBytes().size(), nFrameBytes);
}

TEST_F(SimFault, HangsUpAfterTheGivenFrameAsIfUnplugged)
{
    struct CCase {
        long nAfter;
        int nCommand;
        std::vector<CHostBytes> Requests;
        std::vector<CHostBytes> Answers;
    };
    const std::vector<CCase> Cases{
        {2, -1, {HandFrame(0x45, {3})}, {HandFrame(0x46, kInfoPayload)}},
        {1, 0x23, {kEDogStart, kBlockA}, {Hex("AC 05 00 22 22"), kBlockOk}},
    };
    for (const CCase& ACase : Cases) {
        CSimBench ABench;
        CSimHost AHost;
        CSimOptions AOptions;
        AOptions.nHangupAfter = ACase.nAfter;
        AOptions.nHangupCommand = ACase.nCommand;
        CSimDevice& ADevice = ABench.StartDevice(AOptions);
        const std::string strLink = ADevice.GetLinkPath();
        ASSERT_TRUE(AHost.Open(3));
        for (const CHostBytes& Request : ACase.Requests)
            ASSERT_TRUE(AHost.Send(Request));
        ASSERT_TRUE(AHost.WaitLost());
        EXPECT_EQ(AHost.GetFrames(), ACase.Answers);
        ASSERT_TRUE(ADevice.WaitUntilEnded(5s));
        EXPECT_EQ(ADevice.GetState(), ESimState::HungUp);
        struct stat st{};
        EXPECT_NE(::lstat(strLink.c_str(), &st), 0);
        EXPECT_FALSE(AHost.Open(3));
    }
}
