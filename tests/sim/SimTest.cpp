// The virtual device driven through its pseudo-terminal by the link's port.
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

#include "Frame.h"
#include "PtyPeer.h"
#include "Serial.h"
#include "SimDevice.h"
#include "TempPortDir.h"

using namespace std::chrono_literals;

namespace {

// Collects the frames the device answers.
class CHost final : public CSerialObject {
public:
    int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) override
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        CutFrames(m_strReceive, {pBytes, dwCount}, [this](const CRawString& str) {
            m_Frames.emplace_back(str.GetData(), str.GetData() + str.GetLength());
        });
        return 0;
    }
    std::vector<CBytes> Frames()
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        return m_Frames;
    }
    bool WaitFrames(std::size_t n)
    {
        for (int i = 0; i < 2000; ++i) {
            if (Frames().size() >= n)
                return true;
            Sleep(2);
        }
        return false;
    }

private:
    std::mutex m_Mutex;
    CRawString m_strReceive;
    std::vector<CBytes> m_Frames;
};

class Sim : public testing::Test {
protected:
    void Start(CSimOptions AOptions)
    {
        AOptions.strPortDir = m_Ports.GetPath();
        AOptions.nCom = 3;
        m_pDevice = std::make_unique<CSimDevice>(AOptions);
        std::string strError;
        ASSERT_TRUE(m_pDevice->Open(strError)) << strError;
        m_Thread = std::thread([this] { m_pDevice->Serve(); });
    }
    void TearDown() override
    {
        m_Port.Close();
        if (m_pDevice)
            m_pDevice->Stop();
        if (m_Thread.joinable())
            m_Thread.join();
    }
    void Send(std::uint8_t btCommand, const CBytes& Payload)
    {
        const CBytes Frame = CPtyPeer::MakeFrame(btCommand, Payload);
        ASSERT_TRUE(m_Port.Write(Frame.data(), static_cast<std::uint32_t>(Frame.size())));
    }
    // Sends one frame and answers the device's reply (nothing after 300 ms).
    CBytes Exchange(std::uint8_t btCommand, const CBytes& Payload)
    {
        const std::size_t nBefore = m_Host.Frames().size();
        Send(btCommand, Payload);
        for (int i = 0; i < 150 && m_Host.Frames().size() == nBefore; ++i)
            Sleep(2);
        const auto Frames = m_Host.Frames();
        return Frames.size() > nBefore ? Frames.back() : CBytes{};
    }

    CTempPortDir m_Ports;
    CHost m_Host;
    CSerial m_Port{&m_Host, 10};
    std::unique_ptr<CSimDevice> m_pDevice;
    std::thread m_Thread;
};

} // namespace

TEST_F(Sim, AnswersEveryCommandAsAHealthyDevice)
{
    CSimOptions AOptions;
    AOptions.uFirmwareVersion = 0x0123;
    AOptions.uDataVersion = 0x0005;
    AOptions.uRadarVersion = 0x1A2B;
    AOptions.SettingsG.fill(0x11);
    AOptions.SettingsI.fill(0x22);
    Start(AOptions);
    ASSERT_NE(m_Port.Open(3, 256000, 8, 0, 0), 0) << "the probe is answered with 0x46";

    const auto M = CPtyPeer::MakeFrame;
    EXPECT_EQ(Exchange(0x45, {0x03}), M(0x46, {0x45, 0x03, 0x01, 0x23, 0x00, 0x05, 0x1A, 0x2B}));
    CBytes G{0x47}, I{0x49};
    G.resize(74, 0x11);
    I.resize(74, 0x22);
    EXPECT_EQ(Exchange(0x47, {}), M(0x48, G));
    EXPECT_EQ(Exchange(0x49, {}), M(0x48, I));
    EXPECT_EQ(Exchange(0x1C, {0x01, 0x02}), M(0x19, {}));
    EXPECT_EQ(Exchange(0x06, {0x00, 0x00, 0x00, 0x08, 0x02, 0xAA, 0xBB}), M(0x0D, {0x06, 0x02}));
    EXPECT_EQ(Exchange(0x1A, {}), M(0x0D, {0x1A, 0x02}));
    EXPECT_EQ(Exchange(0x21, {}), M(0x22, {}));
    EXPECT_EQ(Exchange(0x23, CBytes(4096, 0x5A)), M(0x24, {0x23, 0x01}));
    EXPECT_EQ(Exchange(0x20, {}), CBytes{}) << "end commands are not answered";
    EXPECT_EQ(Exchange(0x31, {}), M(0x32, {}));
    EXPECT_EQ(Exchange(0x33, {0x01}), M(0x34, {0x33, 0x01}));
    EXPECT_EQ(Exchange(0x41, {0x70, 0x11, 0x01, 0x00}), M(0x42, {}));
    EXPECT_EQ(Exchange(0x43, {0x02}), M(0x44, {0x43, 0x01}));
    EXPECT_EQ(Exchange(0x4A, CBytes(73, 0x33)), M(0x4B, {0x4A, 0x01}));
    EXPECT_EQ(Exchange(0x0D, {0x1B, 0x02}), CBytes{});

    EXPECT_EQ(m_pDevice->GetFirmware(), (std::map<std::uint32_t, std::uint8_t>{{0x08000000, 0xAA}, {0x08000001, 0xBB}}));
    EXPECT_EQ(m_pDevice->GetImage(0x21), CBytes(4096, 0x5A));
    EXPECT_EQ(m_pDevice->GetAnnouncedRadarSize(), 70000u);
    EXPECT_EQ(m_pDevice->GetSettings(), CBytes(73, 0x33));
}

TEST_F(Sim, IgnoresWhatItCannotCut)
{
    Start({});
    ASSERT_NE(m_Port.Open(3, 256000, 8, 0, 0), 0);
    const CBytes Bad = {0x11, 0xAC, 0x05, 0x00, 0x21, 0x22};  // wrong checksum
    m_Port.Write(Bad.data(), static_cast<std::uint32_t>(Bad.size()));
    EXPECT_EQ(Exchange(0x21, {}), CPtyPeer::MakeFrame(0x22, {}));
    EXPECT_EQ(m_pDevice->GetBytesIgnored(), 6);
}

struct CFaultCase {
    const char* szName;
    void (*Set)(CSimOptions&);
    bool bOpens;
};

class SimProbeFault : public Sim, public testing::WithParamInterface<CFaultCase> {};

TEST_P(SimProbeFault, KeepsThePortFromBeingTaken)
{
    CSimOptions AOptions;
    GetParam().Set(AOptions);
    Start(AOptions);
    EXPECT_EQ(m_Port.Open(3, 256000, 8, 0, 0) != 0, GetParam().bOpens);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SimProbeFault,
    testing::Values(CFaultCase{"healthy", [](CSimOptions&) {}, true},
                    CFaultCase{"silent", [](CSimOptions& A) { A.bSilent = true; }, false},
                    CFaultCase{"four_bytes", [](CSimOptions& A) { A.bProbeFourBytes = true; }, false},
                    CFaultCase{"other_command", [](CSimOptions& A) { A.bProbeOtherCommand = true; }, false},
                    // The probe looks at byte 3 only: noise in front defeats it.
                    CFaultCase{"noise_before_the_answer", [](CSimOptions& A) { A.bNoise = true; }, false},
                    CFaultCase{"torn_answer", [](CSimOptions& A) { A.bTearAnswers = true; }, true}),
    [](const testing::TestParamInfo<CFaultCase>& AInfo) { return std::string(AInfo.param.szName); });

TEST_F(Sim, FaultsDuringAStage)
{
    CSimOptions AOptions;
    AOptions.nFailBlock = 1;
    AOptions.bNoMenu = true;
    AOptions.nStopAfter = 7;
    AOptions.bTearAnswers = true;
    AOptions.nRequestAt = 3;
    Start(AOptions);
    ASSERT_NE(m_Port.Open(3, 256000, 8, 0, 0), 0);  // frame 1, the probe
    const auto M = CPtyPeer::MakeFrame;
    EXPECT_EQ(Exchange(0x47, {}), CBytes{}) << "no menu";                // frame 2
    EXPECT_EQ(Exchange(0x21, {}), M(0x22, {}));                          // frame 3
    ASSERT_TRUE(m_Host.WaitFrames(2));
    EXPECT_EQ(m_Host.Frames().back(), M(0x1B, {})) << "the device request after frame 3";
    EXPECT_EQ(Exchange(0x23, {0x01}), M(0x24, {0x23, 0x01}));            // block 0
    EXPECT_EQ(Exchange(0x23, {0x02}), M(0x24, {0x23, 0x03})) << "block 1 fails once";
    EXPECT_EQ(Exchange(0x23, {0x02}), M(0x24, {0x23, 0x01}));            // frame 6
    EXPECT_EQ(Exchange(0x23, {0x03}), M(0x24, {0x23, 0x01}));            // frame 7
    EXPECT_EQ(Exchange(0x23, {0x04}), CBytes{}) << "silent after 7 frames";
    EXPECT_EQ(m_pDevice->GetImage(0x21), (CBytes{0x01, 0x02, 0x03}));
}

TEST_F(Sim, RecordsWhatTheDeviceHoldsAndTheFramesLog)
{
    CSimOptions AOptions;
    AOptions.strRecordDir = m_Ports.GetPath() + "/rec";
    Start(AOptions);
    ASSERT_NE(m_Port.Open(3, 256000, 8, 0, 0), 0);
    Exchange(0x1C, {0x01, 0x02});
    Exchange(0x06, {0x10, 0x00, 0x00, 0x08, 0x02, 0xAA, 0xBB});
    Exchange(0x06, {0x00, 0x00, 0x00, 0x08, 0x01, 0xCC});
    Exchange(0x1A, {});
    Exchange(0x41, {0x03, 0x00, 0x00, 0x00});
    Exchange(0x43, {0x01, 0x02});
    Exchange(0x40, {});
    Sleep(100);
    const auto ReadFile = [&](const char* szName) {
        std::ifstream AFile(AOptions.strRecordDir + "/" + szName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(AFile), {});
    };
    std::string strExpected(17, '\xFF');
    strExpected[0] = '\xCC';
    strExpected[16] = '\xAA';
    strExpected += '\xBB';
    EXPECT_EQ(ReadFile("firmware.bin"), strExpected) << "placed at its address from the lowest, gaps 0xFF";
    EXPECT_EQ(ReadFile("firmware.map"), "0x8000000-0x8000000\n0x8000010-0x8000011\n");
    EXPECT_EQ(ReadFile("rdfw.bin"), std::string("\x01\x02", 2));
    EXPECT_EQ(ReadFile("rdfw.size"), "announced 3 received 2 MISMATCH\n");
    const std::string strLog = ReadFile("frames.log");
    EXPECT_NE(strLog.find(" in  AC 06 00 45 03 48\n"), std::string::npos) << strLog;
    EXPECT_NE(strLog.find(" out AC 0D 00 46 45 03"), std::string::npos) << strLog;
}
