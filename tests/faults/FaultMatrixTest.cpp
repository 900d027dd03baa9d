// The fault matrix: whole updates against the virtual device, one row for
// each fault a user can meet (FaultRows.cpp). For every row: the texts the
// user is shown (and iap-cli's exit code where a terminal is the natural
// front end), the time until the result is shown, and what the device kept:
// an image whose stage was reported a success is byte for byte the file, one
// whose stage failed is not, one whose stage never began is empty.
//
// IAP_FAULTS_SHIPPED=1 runs the rows with the times the program ships with
// and a line paced at 256000 baud; by default the times are short, so CI
// runs in seconds.
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "FaultRows.h"
#include "ChildProcess.h"
#include "TextCodec.h"

using namespace std::chrono_literals;

namespace {

using AClock = std::chrono::steady_clock;

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

class FaultMatrix : public testing::TestWithParam<CFaultRow>, protected CFaultBench {
protected:
    FaultMatrix() : CFaultBench(GetParam()) {}

    // One update by the worker in this process, from the click to the
    // whole update's result.
    long RunEngine(const CSimDevice& ADevice, std::size_t nConnection)
    {
        if (!m_pEngine) {
            m_pEngine = std::make_unique<CEngine>(RowSettings());
            m_pEngine->Start(m_Files);
        }
        CWork_BK& AWork = m_pEngine->AWork;
        EXPECT_TRUE(m_pEngine->ANotes.WaitFor(WM_DEVICE_READY, -1, 20s, nConnection));
        const std::size_t nReads = ADevice.GetOptions().bNoMenu ? 0 : 2 * nConnection;
        EXPECT_TRUE(m_pEngine->ANotes.WaitFor(WM_SETTINGS_READ, -1, 20s, nReads));
        EXPECT_TRUE(PollUntil([&] { return EarlyRequestsAnswered(ADevice); }))
            << "the device's request was never acknowledged";
        if (GetParam().uFiles & kMenu) {
            CSettingsBlock AMenu{};
            AWork.GetSettingsG(AMenu.data());
            const CSimSettings& ARead = ADevice.GetOptions().SettingsG;
            EXPECT_TRUE(std::equal(ARead.begin(), ARead.end(), AMenu.begin())) << "block G holds the device's menu";
            AWork.HandOverMenu(EditedMenu(AMenu));
        }
        const CResults Before = m_pEngine->ANotes.Results();
        const auto nWhole = std::count_if(Before.begin(), Before.end(), [](const auto& A) { return A.first == 6; });
        const auto tStart = AClock::now();
        AWork.StartUpdate();
        m_pEngine->ANotes.WaitFor(WM_STAGE_RESULT, 6, IsShipped() ? 180s : 60s, static_cast<std::size_t>(nWhole) + 1);
        return MsSince(tStart);
    }

    // One run of iap-cli, from its start to its exit.
    long RunCli(CProgramRun& ARun)
    {
        const CFaultRow& ARow = GetParam();
        std::filesystem::path Folder = GetFolder();
        if (ARow.eInput == EInput::MissingFolder)
            Folder /= "nowhere";
        else if (ARow.eInput == EInput::FileAsFolder)
            Folder /= "flagdata.bin";
        // In the window's language, so that both speak the rows' words.
        std::vector<std::string> Args = {IAP_CLI_PATH, "--lang", "ru", "--folder", Folder.string()};
        if (!IsShipped())
            Args.insert(Args.end(), {"--stall-timeout", "2"});
        if (!IsShipped() && ARow.nWait != 0)
            Args.insert(Args.end(), {"--wait", std::to_string(ARow.nWait)});
        const std::filesystem::path Menu = GetFolder() / "menu.bin";
        if (ARow.uFiles & kMenu) {
            const CSimSettings ADefault = CSimOptions::DefaultSettingsG();
            CSettingsBlock ADevice{};
            std::copy(ADefault.begin(), ADefault.end(), ADevice.begin());
            const CSettingsBlock AMenu = EditedMenu(ADevice);
            const CBytes Bytes(AMenu.begin(), AMenu.end() - (ARow.eInput == EInput::ShortMenu ? 1 : 0));
            if (ARow.eInput != EInput::MissingMenu)
                std::ofstream(Menu, std::ios::binary)
                    .write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
            Args.insert(Args.end(), {"--settings", Menu.string()});
        }
        const auto tStart = AClock::now();
        ARun = RunProgram(Args);
        return MsSince(tStart);
    }

    std::unique_ptr<CEngine> m_pEngine;
};

} // namespace

TEST_P(FaultMatrix, ShowsTheResultAndKeepsTheDeviceWhole)
{
    const CFaultRow& ARow = GetParam();
    WriteFiles(ARow);
    auto pDevice = StartRowDevice(ARow);

    CResults Results;
    CProgramRun ARun;
    long nMs = 0;
    if (ARow.bCli) {
        nMs = RunCli(ARun);
        Results = ResultsShown(ARun.strOut);
    } else {
        nMs = RunEngine(*pDevice, 1);
        Results = m_pEngine->ANotes.Results();
    }
    if (ARow.bCli) {
        if (ARow.Expected.empty()) {
            EXPECT_EQ(ARun.nExit, ARow.nExit) << ARun.strOut;
            EXPECT_NE(ARun.strOut.find(ARow.szCliSays), std::string::npos) << ARun.strOut;
        } else {
            EXPECT_EQ(ARun.nExit, ARow.Expected.back().second == 0 ? 0 : 1) << ARun.strOut;
            const std::string strCom = "Устройство на COM" + std::to_string(ARow.nCom);
            EXPECT_NE(ARun.strOut.find(strCom + ": ПО 0102, база 0003, радар 1a2b"), std::string::npos) << ARun.strOut;
            if (ARow.Expected.back().second == 0) {
                EXPECT_NE(ARun.strOut.find(strCom + " теперь: ПО 0102, база 0003, радар 1a2b"), std::string::npos)
                    << "the device as it is after the update: " << ARun.strOut;
            }
            EXPECT_NE(ARun.strOut.find("Файлы (ver.txt): устройство RD-1, ПО 0102, база 0003, радар 1a2b"),
                      std::string::npos)
                << ARun.strOut;
        }
    }
    EXPECT_EQ(Results, ARow.Expected);
    if (ARow.szWhy != nullptr && !ARow.Expected.empty()) {
        const std::string strWhy =
            ARow.bCli ? ARun.strOut : WideToUtf8(m_pEngine->AWork.GetFailure().Describe(ELanguage::Russian));
        EXPECT_TRUE(SaysWhy(ARow, strWhy)) << strWhy;
    }
    std::string strKept = "no device";
    if (pDevice) {
        strKept = ExpectRecorded(*pDevice, Results, ARow.uFiles);
        if (ARow.nDamaged != 0 || ARow.eInput != EInput::None)
            strKept += "; " + ExpectNothingSent(*pDevice, ARow.eInput != EInput::None ? 0 : 4);
    }
    ExpectSecondDeviceUntouched();

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
    if (strShown.empty())
        strShown = ARow.szCliSays;
    std::fprintf(stderr, "[ row ] %s | %s | %s | %ld ms | %s\n", ARow.szName, strShown.c_str(),
                 ARow.bCli ? std::to_string(ARun.nExit).c_str() : "-", nMs, strKept.c_str());
    RecordProperty("time_to_result_ms", static_cast<int>(nMs));
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, testing::ValuesIn(GetFaultRows()),
                         [](const auto& AInfo) { return std::string(AInfo.param.szName); });
