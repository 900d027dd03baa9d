// The fault matrix: whole updates against the virtual device, one row for
// each fault a user can meet. For every row: the texts the user is shown
// (and iap-cli's exit code where a terminal is the natural front end), the
// time until the result is shown, and what the device kept: an image whose
// stage was reported a success is byte for byte the file, one whose stage
// failed is not, one whose stage never began is empty.
//
// IAP_FAULTS_SHIPPED=1 runs the rows with the times the program ships with
// (30 s stall limit, 5 s answer wait, 10 s firmware pause) and a line paced
// at 256000 baud; by default the times are short, so CI runs in seconds.
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

#include "EngineTestKit.h"
#include "RunProgram.h"
#include "StageText.h"
#include "TextCodec.h"

using namespace std::chrono_literals;

namespace {

using CResults = std::vector<std::pair<int, int>>;
using ASetter = std::function<void(CSimOptions&)>;
using AClock = std::chrono::steady_clock;

// The update files of a row: one bit per stage, the menu as stage 5.
enum : unsigned { kFirmware = 1, kMenu = 16, kAll = 31 };
constexpr std::uint32_t kBase = 0x08000000;
constexpr const char* kFileNames[] = {"", "AC7811_project.hex", "flagdata.bin", "audioHead.bin", "rdfw.bin"};
constexpr std::uint8_t kStageStarts[] = {0, 0x1C, 0x21, 0x31, 0x41};

struct CFaultRow {
    const char* szName;
    ASetter Fault = {};
    CResults Expected = {};          // the stage-result notifications, in order
    unsigned uFiles = kAll;
    int nDamaged = 0;           // the stage whose file is damaged
    bool bCli = false;          // run by iap-cli, which must exit 0 after a whole success, else 1
    bool bReplug = false;       // unplugged: plugged back in, a second update must succeed
    bool bSecondDevice = false; // another device on COM7, which must never be opened
};

bool HasFile(unsigned uFiles, int nStage) { return (uFiles & (1u << (nStage - 1))) != 0; }

CResults Succeeds(unsigned uFiles = kAll)
{
    CResults Results;
    for (int nStage = 1; nStage <= 5; ++nStage)
        if (HasFile(uFiles, nStage))
            Results.emplace_back(nStage, 0);
    Results.emplace_back(6, 0);
    return Results;
}

// The stages before nStage succeed; nStage fails, and with it the update.
CResults FailsAt(int nStage)
{
    CResults Results = Succeeds((1u << (nStage - 1)) - 1);
    Results.back() = {nStage, 1};
    Results.emplace_back(6, 1);
    return Results;
}

ASetter StopAfter(long nCount, int nCommand)
{
    return [=](CSimOptions& A) { A.nStopAfter = nCount, A.nStopCommand = nCommand; };
}

ASetter Unplug(long nCount, int nCommand)
{
    return [=](CSimOptions& A) { A.nHangupAfter = nCount, A.nHangupCommand = nCommand; };
}

bool IsShipped()
{
    const char* sz = std::getenv("IAP_FAULTS_SHIPPED");
    return sz != nullptr && std::string(sz) == "1";
}

long MsSince(AClock::time_point tStart)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(AClock::now() - tStart).count());
}

std::string ShownText(const std::pair<int, int>& AResult)
{
    return WideToUtf8(GetStageText(AResult.first, AResult.second == 0 ? EStageText::Succeeded : EStageText::Failed));
}

// The stage results a terminal showed, read back from its lines.
CResults ResultsShown(const std::string& strOut)
{
    CResults Results;
    std::istringstream AStream(strOut);
    for (std::string strLine; std::getline(AStream, strLine);)
        for (int nStage = 1; nStage <= 6; ++nStage)
            for (int nResult : {0, 1})
                if (strLine.rfind(ShownText({nStage, nResult}), 0) == 0)
                    Results.emplace_back(nStage, nResult);
    return Results;
}

bool WaitCount(const CNoteRecorder& ANotes, std::uint32_t uMessage, std::size_t nCount)
{
    const auto Count = [&] {
        const std::vector<CNote> Notes = ANotes.GetNotes();
        return static_cast<std::size_t>(std::count_if(Notes.begin(), Notes.end(),
                                                      [&](const CNote& A) { return A.uMessage == uMessage; }));
    };
    for (int i = 0; i < 2000 && Count() < nCount; ++i)
        Sleep(10);
    return Count() >= nCount;
}

class FaultMatrix : public testing::TestWithParam<CFaultRow> {
protected:
    void WriteFiles()
    {
        const CFaultRow& ARow = GetParam();
        const CBytes Hex(m_strHex.begin(), m_strHex.end());
        for (int nStage = 1; nStage <= 4; ++nStage)
            if (HasFile(ARow.uFiles, nStage) && nStage != ARow.nDamaged)
                m_Files.Write(kFileNames[nStage], nStage == 1 ? Hex : m_Images[nStage]);
        const std::filesystem::path Damaged = m_Files.GetPath() / kFileNames[ARow.nDamaged];
        if (ARow.nDamaged == 1) {
            m_Files.Write(kFileNames[1], m_strHex.substr(0, m_strHex.size() / 2)); // a copy cut short
        } else if (ARow.nDamaged == 4) {
            m_Files.Write(kFileNames[4], CBytes{}); // far larger than a radar part holds; sparse
            std::filesystem::resize_file(Damaged, 3ull << 30);
        } else if (ARow.nDamaged != 0) {
            std::filesystem::create_symlink("/proc/self/mem", Damaged); // every read fails with EIO
        }
    }

    // One update by the worker in this process, from the click to the
    // whole update's result.
    long RunEngine(const CSimDevice& ADevice, std::size_t nConnection)
    {
        if (!m_pEngine) {
            m_pEngine = std::make_unique<CEngine>(IsShipped() ? CWorkSettings{} : CEngine::Fast());
            m_pEngine->Start(m_Files);
        }
        CWork_BK& AWork = m_pEngine->AWork;
        EXPECT_TRUE(WaitCount(m_pEngine->ANotes, WM_DEVICE_READY, nConnection));
        const std::size_t nReads = ADevice.GetOptions().bNoMenu ? 0 : 2 * nConnection;
        EXPECT_TRUE(WaitCount(m_pEngine->ANotes, WM_SETTINGS_READ, nReads));
        if (GetParam().uFiles & kMenu) {
            AWork.GetSettingsG(m_Menu.data());
            m_Menu[0] ^= 0x01; // one choice changed, as a user would
            AWork.SetWriteSettings(1);
            AWork.SetSettingsG(m_Menu.data());
        }
        const std::size_t nBefore = m_pEngine->ANotes.Results().size();
        const auto tStart = AClock::now();
        AWork.StartUpdate();
        while (MsSince(tStart) < (IsShipped() ? 180000 : 60000)) {
            const CResults Results = m_pEngine->ANotes.Results();
            if (Results.size() > nBefore && Results.back().first == 6)
                break;
            Sleep(1);
        }
        return MsSince(tStart);
    }

    // One run of iap-cli, from its start to its exit.
    long RunCli(CProgramRun& ARun)
    {
        std::string strArgs = " --folder " + m_Files.GetPath().string();
        strArgs += IsShipped() ? "" : " --stall-timeout 2";
        if (GetParam().uFiles & kMenu) {
            const CSimSettings ADefault = CSimOptions::DefaultSettingsG();
            std::copy(ADefault.begin(), ADefault.end(), m_Menu.begin());
            m_Menu[0] ^= 0x01;
            m_Files.Write("menu.bin", CBytes(m_Menu.begin(), m_Menu.end()));
            strArgs += " --settings " + (m_Files.GetPath() / "menu.bin").string();
        }
        const auto tStart = AClock::now();
        ARun = RunProgram(IAP_CLI_PATH + strArgs);
        return MsSince(tStart);
    }

    // What the device kept of one stage; the firmware from its lowest
    // address, which must be the file's, gaps as 0xFF.
    static CBytes Recorded(const CSimDevice& ADevice, int nStage)
    {
        if (nStage == 5)
            return ADevice.GetSettings();
        if (nStage != 1)
            return ADevice.GetImage(kStageStarts[nStage]);
        std::uint32_t dwBase = 0;
        const CBytes Firmware = ADevice.GetRecorder().GetFirmware(dwBase);
        return Firmware.empty() || dwBase == kBase ? Firmware : CBytes{0};
    }

    CBytes Sent(int nStage) const { return nStage == 5 ? CBytes(m_Menu.begin(), m_Menu.end()) : m_Images[nStage]; }

    // Each stage's image against its result: the file whole after a
    // success, not after a failure, nothing when the stage never began.
    // Returns what the device kept, stage by stage: "=" the file whole,
    // "partial" something else, "none" nothing.
    std::string ExpectRecorded(const CSimDevice& ADevice, const CResults& Results, unsigned uFiles) const
    {
        std::string strKept;
        for (int nStage = 1; nStage <= 5; ++nStage) {
            if (!HasFile(uFiles, nStage))
                continue;
            const auto It =
                std::find_if(Results.begin(), Results.end(), [&](const auto& A) { return A.first == nStage; });
            const CBytes Kept = Recorded(ADevice, nStage);
            strKept += (strKept.empty() ? "" : " ") + std::to_string(nStage) +
                       (Kept == Sent(nStage) ? "=" : Kept.empty() ? ":none" : ":partial");
            if (It == Results.end())
                EXPECT_TRUE(Kept.empty()) << "stage " << nStage << " never began";
            else if (It->second == 0)
                EXPECT_EQ(Kept, Sent(nStage)) << "stage " << nStage << " reported a success";
            else
                EXPECT_NE(Kept, Sent(nStage)) << "stage " << nStage << " reported a failure";
        }
        return strKept;
    }

    CTempPortDir m_Ports;
    CUpdateFolder m_Files;
    // By stage: the firmware's bytes, the camera database, sound, radar.
    const CBytes m_Images[5] = {{}, RandomBytes(2048, 1), RandomBytes(9000, 2), RandomBytes(5000, 3),
                                RandomBytes(1100, 4)};
    const std::string m_strHex = MakeHex(kBase, m_Images[1], "0102");
    CSettingsBlock m_Menu{};
    std::unique_ptr<CEngine> m_pEngine;
};

} // namespace

TEST_P(FaultMatrix, ShowsTheResultAndKeepsTheDeviceWhole)
{
    const CFaultRow& ARow = GetParam();
    WriteFiles();
    CSimOptions AOptions;
    if (ARow.Fault)
        ARow.Fault(AOptions);
    AOptions.dwBaud = IsShipped() ? 256000 : 0;
    const auto pOther = ARow.bSecondDevice ? StartDevice(m_Ports.GetPath(), 7) : nullptr;
    auto pDevice = StartDevice(m_Ports.GetPath(), 3, AOptions);

    CResults Results;
    CProgramRun ARun;
    long nMs = 0;
    if (ARow.bCli) {
        nMs = RunCli(ARun);
        Results = ResultsShown(ARun.strOut);
        EXPECT_EQ(ARun.nExit, ARow.Expected.back().second == 0 ? 0 : 1) << ARun.strOut;
        EXPECT_NE(ARun.strOut.find("Device on COM3:"), std::string::npos) << ARun.strOut;
    } else {
        nMs = RunEngine(*pDevice, 1);
        Results = m_pEngine->ANotes.Results();
    }
    EXPECT_EQ(Results, ARow.Expected);
    std::string strKept = ExpectRecorded(*pDevice, Results, ARow.uFiles);
    if (ARow.nDamaged != 0) {
        Sleep(100);
        const std::size_t nFrames = pDevice->GetReceivedFrames().size();
        EXPECT_EQ(nFrames, 4u) << "nothing beyond the probe, 0x45, 0x47 and 0x49";
        strKept += "; " + std::to_string(nFrames) + " frames received";
    }
    if (pOther) {
        EXPECT_EQ(pOther->GetCounters().nFramesReceived, 0u) << "COM7 was opened";
    }

    if (ARow.bReplug) {
        EXPECT_TRUE(m_pEngine->ANotes.WaitFor(WM_DEVICE_LOST, -1, 10s));
        ASSERT_TRUE(pDevice->WaitUntilEnded(10s));
        pDevice = StartDevice(m_Ports.GetPath(), 3);
        const std::size_t nBefore = m_pEngine->ANotes.Results().size();
        RunEngine(*pDevice, 2);
        const CResults Again = m_pEngine->ANotes.Results();
        EXPECT_EQ(CResults(Again.begin() + static_cast<long>(nBefore), Again.end()), Succeeds()) << "plugged back";
        strKept += "; plugged back in, the next update: " + ExpectRecorded(*pDevice, Succeeds(), kAll);
    }

    std::string strShown;
    for (const auto& AResult : Results)
        strShown += (strShown.empty() ? "" : " / ") + ShownText(AResult);
    std::fprintf(stderr, "[ row ] %s | %s | %s | %ld ms | %s\n", ARow.szName, strShown.c_str(),
                 ARow.bCli ? std::to_string(ARun.nExit).c_str() : "-", nMs, strKept.c_str());
    RecordProperty("time_to_result_ms", static_cast<int>(nMs));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultMatrix,
    testing::Values(
        CFaultRow{"silent_in_firmware", StopAfter(10, 0x06), FailsAt(1)},
        CFaultRow{"silent_in_camera_database", StopAfter(1, 0x23), FailsAt(2)},
        CFaultRow{"silent_in_sound", StopAfter(1, 0x33), FailsAt(3)},
        CFaultRow{"silent_in_radar", StopAfter(1, 0x43), FailsAt(4)},
        CFaultRow{"silent_in_menu", StopAfter(0, 0x4A), FailsAt(5)},
        CFaultRow{"failing_status_in_firmware", [](CSimOptions& A) { A.FailBlocks = {{0x06, 5, 4}}; }, FailsAt(1)},
        CFaultRow{"failing_status_in_camera_database", [](CSimOptions& A) { A.FailBlocks = {{0x23, 2, 6}}; },
                  FailsAt(2)},
        CFaultRow{"failing_status_in_radar", [](CSimOptions& A) { A.FailBlocks = {{0x43, 1, 3}}; }, FailsAt(4)},
        CFaultRow{"noise_between_frames", [](CSimOptions& A) { A.nNoiseMax = 32; }, Succeeds()},
        CFaultRow{"answers_torn_into_bytes", [](CSimOptions& A) { A.eTear = ETear::Bytes; }, Succeeds()},
        CFaultRow{.szName = "unplugged_in_firmware", .Fault = Unplug(10, 0x06), .Expected = FailsAt(1),
                  .bReplug = true},
        CFaultRow{.szName = "unplugged_in_camera_database", .Fault = Unplug(1, 0x23), .Expected = FailsAt(2),
                  .bReplug = true},
        CFaultRow{.szName = "unplugged_in_sound", .Fault = Unplug(1, 0x33), .Expected = FailsAt(3),
                  .bReplug = true},
        CFaultRow{.szName = "unplugged_in_radar", .Fault = Unplug(1, 0x43), .Expected = FailsAt(4),
                  .bReplug = true},
        CFaultRow{.szName = "unplugged_in_menu", // the menu is sent, never answered, then the device goes
                  .Fault = [](CSimOptions& A) { StopAfter(0, 0x4A)(A), Unplug(1, 0x4A)(A); },
                  .Expected = FailsAt(5), .bReplug = true},
        CFaultRow{"device_without_menu", [](CSimOptions& A) { A.bNoMenu = true; }, Succeeds(kAll & ~kMenu),
                  kAll & ~kMenu},
        CFaultRow{"unsolicited_0x13_in_firmware", [](CSimOptions& A) { A.Unsolicited = {{0x13, {10, 0x06}}}; },
                  Succeeds()},
        CFaultRow{"unsolicited_0x50_in_sound", [](CSimOptions& A) { A.Unsolicited = {{0x50, {1, 0x33}}}; },
                  Succeeds()},
        CFaultRow{"device_request_in_camera_database", [](CSimOptions& A) { A.DeviceRequests = {{1, 0x23}}; },
                  FailsAt(2)},
        CFaultRow{"device_request_before_the_update", [](CSimOptions& A) { A.DeviceRequests = {{1, 0x49}}; },
                  Succeeds()},
        CFaultRow{.szName = "damaged_firmware", .Expected = {{1, 1}, {6, 1}}, .nDamaged = 1, .bCli = true},
        CFaultRow{.szName = "damaged_camera_database", .Expected = {{2, 1}, {6, 1}}, .nDamaged = 2, .bCli = true},
        CFaultRow{.szName = "damaged_sound", .Expected = {{3, 1}, {6, 1}}, .nDamaged = 3, .bCli = true},
        CFaultRow{.szName = "damaged_radar", .Expected = {{4, 1}, {6, 1}}, .nDamaged = 4, .bCli = true},
        CFaultRow{.szName = "second_device_on_com7", .Expected = Succeeds(kAll & ~kFirmware),
                  .uFiles = kAll & ~kFirmware, .bCli = true, .bSecondDevice = true}),
    [](const auto& AInfo) { return std::string(AInfo.param.szName); });
