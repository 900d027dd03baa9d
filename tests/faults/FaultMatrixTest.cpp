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

// Which update files a row has: one bit per stage, the menu as stage 5.
enum : unsigned { kFirmware = 1, kEDog = 2, kMusic = 4, kRadar = 8, kMenu = 16, kAll = 31 };
constexpr std::uint32_t kBase = 0x08000000;
constexpr const char* kFileNames[] = {"", "AC7811_project.hex", "flagdata.bin", "audioHead.bin", "rdfw.bin"};
constexpr std::uint8_t kStageStarts[] = {0, 0x1C, 0x21, 0x31, 0x41, 0x4A};

struct CFaultRow {
    const char* szName;
    ASetter Fault;
    CResults Expected;          // the stage-result notifications, in order
    unsigned uFiles = kAll;
    int nDamaged = 0;           // the stage whose file is damaged
    bool bCli = false;          // run by iap-cli, which exits 0 when the whole update succeeded, else 1
    bool bReplug = false;       // unplugged: plugged back in, a second update must succeed
    bool bSecondDevice = false; // another device on COM7, which must never be opened
};

CResults Succeeds(unsigned uFiles = kAll)
{
    CResults Results;
    for (int nStage = 1; nStage <= 5; ++nStage)
        if (uFiles & (1u << (nStage - 1)))
            Results.emplace_back(nStage, 0);
    Results.emplace_back(6, 0);
    return Results;
}

// The stages before nStage succeed, nStage fails and so does the update.
CResults FailsAt(int nStage)
{
    CResults Results = Succeeds(kAll & ((1u << (nStage - 1)) - 1));
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

std::size_t Count(const CNoteRecorder& ANotes, std::uint32_t uMessage)
{
    std::size_t n = 0;
    for (const CNote& ANote : ANotes.GetNotes())
        n += ANote.uMessage == uMessage;
    return n;
}

bool WaitCount(const CNoteRecorder& ANotes, std::uint32_t uMessage, std::size_t nCount)
{
    for (int i = 0; i < 2000 && Count(ANotes, uMessage) < nCount; ++i)
        Sleep(10);
    return Count(ANotes, uMessage) >= nCount;
}

class FaultMatrix : public testing::TestWithParam<CFaultRow> {
protected:
    FaultMatrix()
    {
        m_Files.Write(kFileNames[1], m_strHex);
        for (int nStage = 2; nStage <= 4; ++nStage)
            m_Files.Write(kFileNames[nStage], m_Images[nStage]);
    }

    CSimOptions DeviceOptions() const
    {
        CSimOptions AOptions;
        if (GetParam().Fault)
            GetParam().Fault(AOptions);
        AOptions.dwBaud = IsShipped() ? 256000 : 0;
        return AOptions;
    }

    void PrepareFiles()
    {
        const CFaultRow& ARow = GetParam();
        for (int nStage = 1; nStage <= 4; ++nStage)
            if (!(ARow.uFiles & (1u << (nStage - 1))))
                std::filesystem::remove(m_Files.GetPath() / kFileNames[nStage]);
        const std::filesystem::path Damaged = m_Files.GetPath() / kFileNames[ARow.nDamaged];
        if (ARow.nDamaged == 1) {
            m_Files.Write(kFileNames[1], m_strHex.substr(0, m_strHex.size() / 2)); // a copy cut short
        } else if (ARow.nDamaged == 4) {
            // Far larger than any radar part holds; a sparse file, so the
            // disk does not fill.
            std::filesystem::resize_file(Damaged, 3ull << 30);
        } else if (ARow.nDamaged != 0) {
            // Every read fails with an I/O error, as on a failing medium.
            std::filesystem::remove(Damaged);
            std::filesystem::create_symlink("/proc/self/mem", Damaged);
        }
    }

    // The device's menu with one choice changed, as a user would hand it over.
    static CSettingsBlock ChangedMenu(const CSettingsBlock& AMenu)
    {
        CSettingsBlock AChanged = AMenu;
        AChanged[0] ^= 0x01;
        return AChanged;
    }

    // One update by the worker in this process; answers the milliseconds
    // from the click to the whole update's result.
    long RunEngine(CSimDevice& ADevice, std::size_t nConnection)
    {
        if (!m_pEngine) {
            m_pEngine = std::make_unique<CEngine>(IsShipped() ? CWorkSettings{} : CEngine::Fast());
            m_pEngine->Start(m_Files);
        }
        CWork_BK& AWork = m_pEngine->AWork;
        const std::size_t nReads = ADevice.GetOptions().bNoMenu ? 0 : 2 * nConnection;
        EXPECT_TRUE(WaitCount(m_pEngine->ANotes, WM_DEVICE_READY, nConnection));
        EXPECT_TRUE(WaitCount(m_pEngine->ANotes, WM_SETTINGS_READ, nReads));
        if (GetParam().uFiles & kMenu) {
            AWork.GetSettingsG(m_Menu.data());
            m_Menu = ChangedMenu(m_Menu);
            AWork.SetWriteSettings(1);
            AWork.SetSettingsG(m_Menu.data());
        }
        const std::size_t nResults = Count(m_pEngine->ANotes, WM_STAGE_RESULT);
        const auto tStart = std::chrono::steady_clock::now();
        AWork.StartUpdate();
        for (auto tEnd = tStart + Bound(); std::chrono::steady_clock::now() < tEnd;) {
            const CResults Results = m_pEngine->ANotes.Results();
            if (Results.size() > nResults && Results.back().first == 6)
                break;
            Sleep(1);
        }
        return Since(tStart);
    }

    // One run of iap-cli, from its start to its exit.
    long RunCli(std::string& strOut, int& nExit)
    {
        std::string strArgs = " --folder " + m_Files.GetPath().string();
        if (!IsShipped())
            strArgs += " --stall-timeout 2";
        if (GetParam().uFiles & kMenu) {
            const CSimSettings ADefault = CSimOptions::DefaultSettingsG();
            std::copy(ADefault.begin(), ADefault.end(), m_Menu.begin());
            m_Menu = ChangedMenu(m_Menu);
            m_Files.Write("menu.bin", CBytes(m_Menu.begin(), m_Menu.end()));
            strArgs += " --settings " + (m_Files.GetPath() / "menu.bin").string();
        }
        const auto tStart = std::chrono::steady_clock::now();
        const CProgramRun ARun = RunProgram(IAP_CLI_PATH + strArgs);
        strOut = ARun.strOut;
        nExit = ARun.nExit;
        return Since(tStart);
    }

    // What the device kept of one stage, and whether it is the file whole.
    bool IsWhole(const CSimDevice& ADevice, int nStage) const
    {
        if (nStage == 1) {
            std::map<std::uint32_t, std::uint8_t> AFirmware;
            for (std::size_t i = 0; i < m_Firmware.size(); ++i)
                AFirmware[kBase + static_cast<std::uint32_t>(i)] = m_Firmware[i];
            return ADevice.GetFirmware() == AFirmware;
        }
        if (nStage == 5)
            return ADevice.GetSettings() == CBytes(m_Menu.begin(), m_Menu.end());
        return ADevice.GetImage(kStageStarts[nStage]) == m_Images[nStage];
    }

    static bool IsEmpty(const CSimDevice& ADevice, int nStage)
    {
        return nStage == 1 ? ADevice.GetFirmware().empty()
               : nStage == 5 ? ADevice.GetSettings().empty()
                             : ADevice.GetImage(kStageStarts[nStage]).empty();
    }

    // Each stage's image against its result: whole after a success, not
    // whole after a failure, nothing at all when the stage never began.
    void ExpectRecorded(const CSimDevice& ADevice, const CResults& Results, unsigned uFiles) const
    {
        for (int nStage = 1; nStage <= 5; ++nStage) {
            if (!(uFiles & (1u << (nStage - 1))))
                continue;
            const auto It = std::find_if(Results.begin(), Results.end(),
                                         [&](const std::pair<int, int>& A) { return A.first == nStage; });
            if (It == Results.end())
                EXPECT_TRUE(IsEmpty(ADevice, nStage)) << "stage " << nStage << " never began";
            else if (It->second == 0)
                EXPECT_TRUE(IsWhole(ADevice, nStage)) << "stage " << nStage << " reported a success";
            else
                EXPECT_FALSE(IsWhole(ADevice, nStage)) << "stage " << nStage << " reported a failure";
        }
    }

    static std::chrono::milliseconds Bound() { return IsShipped() ? 180s : 60s; }
    static long Since(std::chrono::steady_clock::time_point tStart)
    {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - tStart).count());
    }

    CTempPortDir m_Ports;
    CUpdateFolder m_Files;
    const CBytes m_Firmware = RandomBytes(2048, 1);
    const std::string m_strHex = MakeHex(kBase, m_Firmware, "0102");
    const CBytes m_Images[5] = {{}, {}, RandomBytes(9000, 2), RandomBytes(5000, 3), RandomBytes(1100, 4)};
    CSettingsBlock m_Menu{};
    std::unique_ptr<CEngine> m_pEngine;
};

} // namespace

TEST_P(FaultMatrix, ShowsTheResultAndKeepsTheDeviceWhole)
{
    const CFaultRow& ARow = GetParam();
    PrepareFiles();
    const auto pOther = ARow.bSecondDevice ? StartDevice(m_Ports.GetPath(), 7) : nullptr;
    auto pDevice = StartDevice(m_Ports.GetPath(), 3, DeviceOptions());

    CResults Results;
    long nMs = 0;
    int nExit = -1;
    if (ARow.bCli) {
        std::string strOut;
        nMs = RunCli(strOut, nExit);
        Results = ResultsShown(strOut);
        EXPECT_EQ(nExit, ARow.Expected.back().second == 0 ? 0 : 1) << strOut;
        EXPECT_NE(strOut.find("Device on COM3:"), std::string::npos) << strOut;
    } else {
        nMs = RunEngine(*pDevice, 1);
        Results = m_pEngine->ANotes.Results();
    }
    EXPECT_EQ(Results, ARow.Expected);
    ExpectRecorded(*pDevice, Results, ARow.uFiles);
    if (ARow.nDamaged != 0) {
        Sleep(100);
        EXPECT_EQ(pDevice->GetReceivedFrames().size(), 4u) << "nothing beyond the probe, 0x45, 0x47 and 0x49";
    }
    if (pOther) {
        EXPECT_EQ(pOther->GetCounters().nFramesReceived, 0u) << "COM7 was opened";
    }

    std::string strShown;
    for (const auto& AResult : Results)
        strShown += (strShown.empty() ? "" : " / ") + ShownText(AResult);
    std::fprintf(stderr, "[ row ] %s | %s | %s | %ld ms\n", ARow.szName, strShown.c_str(),
                 ARow.bCli ? std::to_string(nExit).c_str() : "-", nMs);
    RecordProperty("time_to_result_ms", static_cast<int>(nMs));

    if (ARow.bReplug) {
        EXPECT_TRUE(m_pEngine->ANotes.WaitFor(WM_DEVICE_LOST, -1, 10s));
        ASSERT_TRUE(pDevice->WaitUntilEnded(10s));
        pDevice = StartDevice(m_Ports.GetPath(), 3);
        const std::size_t nBefore = m_pEngine->ANotes.Results().size();
        RunEngine(*pDevice, 2);
        const CResults Again = m_pEngine->ANotes.Results();
        EXPECT_EQ(CResults(Again.begin() + static_cast<long>(nBefore), Again.end()), Succeeds()) << "plugged back";
        ExpectRecorded(*pDevice, Succeeds(), kAll);
    }
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
        CFaultRow{"unplugged_in_firmware", Unplug(10, 0x06), FailsAt(1), kAll, 0, false, true},
        CFaultRow{"unplugged_in_camera_database", Unplug(1, 0x23), FailsAt(2), kAll, 0, false, true},
        CFaultRow{"unplugged_in_sound", Unplug(1, 0x33), FailsAt(3), kAll, 0, false, true},
        CFaultRow{"unplugged_in_radar", Unplug(1, 0x43), FailsAt(4), kAll, 0, false, true},
        CFaultRow{"unplugged_in_menu", [](CSimOptions& A) { StopAfter(0, 0x4A)(A), Unplug(1, 0x4A)(A); },
                  FailsAt(5), kAll, 0, false, true},
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
        CFaultRow{"damaged_firmware", nullptr, {{1, 1}, {6, 1}}, kAll, 1, true},
        CFaultRow{"damaged_camera_database", nullptr, {{2, 1}, {6, 1}}, kAll, 2, true},
        CFaultRow{"damaged_sound", nullptr, {{3, 1}, {6, 1}}, kAll, 3, true},
        CFaultRow{"damaged_radar", nullptr, {{4, 1}, {6, 1}}, kAll, 4, true},
        CFaultRow{"second_device_on_com7", nullptr, Succeeds(kAll & ~kFirmware), kAll & ~kFirmware, 0, true, false,
                  true}),
    [](const auto& AInfo) { return std::string(AInfo.param.szName); });
