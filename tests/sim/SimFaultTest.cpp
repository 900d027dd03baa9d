// Each fault option does what it says, seen from the host's side.
#include <functional>
#include <thread>

#include "SimHost.h"

namespace {

using ASetter = std::function<void(CSimOptions&)>;

const CHostBytes kInfoPayload = Hex("45 03 01 02 00 03 1A 2B"); // default versions, port 3
const CHostBytes kEDogStart = Hex("AC 05 00 21 21");
const CHostBytes kGoAhead = Hex("AC 05 00 22 22");
const CHostBytes kBlockA = HandFrame(0x23, {0xA1, 0xA2});
const CHostBytes kBlockB = HandFrame(0x23, {0xB1});
const CHostBytes kBlockOk = Hex("AC 07 00 24 23 01 48");

CSimOptions Options(const ASetter& Set)
{
    CSimOptions AOptions;
    Set(AOptions);
    return AOptions;
}

struct CStreamCase {
    const char* szName;
    ASetter Set;
    std::vector<CHostBytes> Requests, Answers;
    CHostBytes EDogImage; // what the device kept of the 0x23 blocks
};

class SimStreamFault : public CSimFixture, public testing::TestWithParam<CStreamCase> {};
class SimFault : public CSimFixture, public testing::Test {};

} // namespace

TEST_P(SimStreamFault, AnswersAsTold)
{
    CSimDevice& ADevice = StartDevice(Options(GetParam().Set));
    ASSERT_TRUE(m_Host.Open(3));
    for (const CHostBytes& Request : GetParam().Requests)
        ASSERT_TRUE(m_Host.Send(Request));
    ASSERT_TRUE(ADevice.WaitForFrames(GetParam().Requests.size() + 1, 10s));
    ASSERT_TRUE(m_Host.WaitFrames(GetParam().Answers.size()));
    // Nothing was sent beyond the expected answers and the probe's.
    EXPECT_EQ(ADevice.GetCounters().nFramesSent, GetParam().Answers.size() + 1);
    EXPECT_EQ(m_Host.GetFrames(), GetParam().Answers);
    EXPECT_EQ(ADevice.GetImage(0x21), GetParam().EDogImage);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimStreamFault,
    testing::Values(
        CStreamCase{"stop_after_three_frames", [](CSimOptions& A) { A.nStopAfter = 3; },
                    {kEDogStart, kBlockA, kBlockB}, {kGoAhead, kBlockOk}, {0xA1, 0xA2}},
        CStreamCase{"stop_after_one_block", [](CSimOptions& A) { A.nStopAfter = 1, A.nStopCommand = 0x23; },
                    {kEDogStart, kBlockA, kBlockB, Hex("AC 05 00 31 31")}, {kGoAhead, kBlockOk}, {0xA1, 0xA2}},
        CStreamCase{"fail_block_two_once", [](CSimOptions& A) { A.FailBlocks = {{0x23, 2, 0x05}}; },
                    {kEDogStart, kBlockA, kBlockB, kBlockB},
                    {kGoAhead, kBlockOk, Hex("AC 07 00 24 23 05 4C"), kBlockOk}, {0xA1, 0xA2, 0xB1}},
        CStreamCase{"fail_record_one_once", [](CSimOptions& A) { A.FailBlocks = {{0x06, 1, 0x03}}; },
                    {Hex("AC 07 00 1C 01 02 1F"), HandFrame(0x06, {0, 0, 0, 8, 1, 0x77}),
                     HandFrame(0x06, {0, 0, 0, 8, 1, 0x77})},
                    {Hex("AC 05 00 19 19"), Hex("AC 07 00 0D 06 03 16"), Hex("AC 07 00 0D 06 02 15")}, {}},
        CStreamCase{"accept_project_start", [](CSimOptions& A) { A.bAcceptProjectStart = true; },
                    {Hex("AC 07 00 1C 01 02 1F")}, {Hex("AC 05 00 1C 1C"), Hex("AC 05 00 19 19")}, {}},
        CStreamCase{"no_menu", [](CSimOptions& A) { A.bNoMenu = true; },
                    {Hex("AC 05 00 47 47"), Hex("AC 05 00 49 49"), kEDogStart}, {kGoAhead}, {}},
        CStreamCase{"device_request_after_the_second_frame",
                    [](CSimOptions& A) { A.DeviceRequests = {{2, std::nullopt}}; }, {HandFrame(0x45, {3}), kEDogStart},
                    {HandFrame(0x46, kInfoPayload), Hex("AC 05 00 1B 1B"), kGoAhead}, {}},
        CStreamCase{"device_request_after_the_first_block", [](CSimOptions& A) { A.DeviceRequests = {{1, 0x23}}; },
                    {kEDogStart, kBlockA, kBlockB}, {kGoAhead, kBlockOk, Hex("AC 05 00 1B 1B"), kBlockOk},
                    {0xA1, 0xA2, 0xB1}},
        CStreamCase{"unsolicited_frames_after_the_first_block",
                    [](CSimOptions& A) { A.Unsolicited = {{0x50, {1, 0x23}}, {0x13, {1, 0x23}}}; },
                    {kEDogStart, kBlockA, kBlockB},
                    {kGoAhead, kBlockOk, Hex("AC 05 00 50 50"), Hex("AC 05 00 13 13"), kBlockOk}, {0xA1, 0xA2, 0xB1}}),
    [](const auto& AInfo) { return std::string(AInfo.param.szName); });

TEST_F(SimFault, AProbeFaultForTheFirstTimesOnlyLetsALaterProbeThrough)
{
    StartDevice(Options([](CSimOptions& A) { A.eProbeFault = EProbeFault::Short, A.nProbeFaultTimes = 2; }));
    EXPECT_FALSE(m_Host.Open(3));
    EXPECT_FALSE(m_Host.Open(3));
    EXPECT_TRUE(m_Host.Open(3));
}

TEST_F(SimFault, TornAnswersArriveWholeAfterManyWrites)
{
    CSimDevice& ABytes = StartDevice(Options([](CSimOptions& A) { A.eTear = ETear::Bytes; }), 1);
    CSimDevice& ARandom = StartDevice(Options([](CSimOptions& A) { A.eTear = ETear::Random; }), 2);
    for (CSimDevice* pDevice : {&ABytes, &ARandom}) {
        CSimHost AHost;
        // A torn probe answer may miss the probe's read; the search tries again.
        bool bOpen = false;
        for (int i = 0; i < 5 && !bOpen; ++i)
            bOpen = AHost.Open(pDevice->GetCom());
        ASSERT_TRUE(bOpen);
        // The device counts an answer's writes once its last byte is out, and
        // an earlier probe's torn answer may still be on its way after the
        // open: count from and to when the device has gone quiet.
        const auto WritesWhenQuiet = [pDevice] {
            std::uint64_t nWrites = pDevice->GetCounters().nWrites;
            for (int i = 0; i < 50; ++i) {
                std::this_thread::sleep_for(100ms);
                const std::uint64_t nNow = pDevice->GetCounters().nWrites;
                if (nNow == nWrites)
                    break;
                nWrites = nNow;
            }
            return nWrites;
        };
        const std::uint64_t nWrites = WritesWhenQuiet();
        ASSERT_TRUE(AHost.Send(Hex("AC 05 00 47 47")) && AHost.WaitFrames(1));
        EXPECT_EQ(AHost.GetFrames()[0], HandFrame(0x48, Prefixed(0x47, CSimOptions::DefaultSettingsG())));
        const std::uint64_t nTorn = WritesWhenQuiet() - nWrites;
        if (pDevice == &ABytes)
            EXPECT_EQ(nTorn, 79u);
        else
            EXPECT_TRUE(nTorn >= 10 && nTorn < 79) << nTorn; // chunks of 1 to 8 bytes
    }
}

TEST_F(SimFault, NoiseBetweenFramesNeverHoldsAStartByte)
{
    CSimDevice& ADevice = StartDevice(Options([](CSimOptions& A) { A.nNoiseMax = 8; }));
    ASSERT_TRUE(m_Host.Open(3) && m_Host.Send(Hex("AC 05 00 21 21 AC 05 00 31 31 AC 05 00 41 41")));
    ASSERT_TRUE(m_Host.WaitFrames(3) && ADevice.WaitForFrames(4, 5s));
    EXPECT_EQ(m_Host.GetFrames(), (std::vector{kGoAhead, Hex("AC 05 00 32 32"), Hex("AC 05 00 42 42")}));
    std::size_t nNoise = 0;
    for (const CSimLogEntry& AEntry : ADevice.GetRecorder().GetLog()) {
        if (AEntry.eKind == ESimLogKind::Noise) {
            nNoise += AEntry.Bytes.size();
            EXPECT_TRUE(AEntry.Bytes.size() >= 1 && AEntry.Bytes.size() <= 8);
            EXPECT_EQ(std::count(AEntry.Bytes.begin(), AEntry.Bytes.end(), 0xAC), 0);
        }
    }
    EXPECT_EQ(ADevice.GetCounters().nNoiseBytes, nNoise);
    // The noise behind the first two answers came before the third.
    EXPECT_GE(m_Host.GetRawSize(), 3 * 5u + 2);
}
