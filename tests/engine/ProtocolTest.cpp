// The update protocol as tables of what happens and what it answers: the
// virtual device's own rules answer on the test's thread and the clock is
// the test's (CProtocolRig), so every case runs the same way every time.
#include <gtest/gtest.h>

#include "Command.h"
#include "EngineTestKit.h"
#include "ProtocolRig.h"
#include "StagePlan.h"

namespace {

using namespace std::chrono_literals;

const CResults kWhole = {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}};

// The sample update: firmware of 600 bytes (38 records), block images of
// 9000 bytes (three blocks), radar of 2100 bytes (1024 + 1024 + 52).
void WriteFiles(CUpdateFolder& AFiles, const std::vector<std::string>& Names)
{
    for (const std::string& strName : Names) {
        if (strName == "AC7811_project.hex")
            AFiles.Write(strName, MakeHex(0x08000000, RandomBytes(600, 20), "0102"));
        else
            AFiles.Write(strName, RandomBytes(strName == "rdfw.bin" ? 2100 : 9000, 21));
    }
}

long Count(const CProtocolRig& ARig, const CNote& ANote)
{
    const std::vector<CNote> Notes = ARig.ANotes.GetNotes();
    return std::count(Notes.begin(), Notes.end(), ANote);
}

const std::vector<std::string> kAllFiles = {"AC7811_project.hex", "flagdata.bin", "audioHead.bin", "rdfw.bin"};

// A rig connected to a device with these update files, a menu handed over
// when bMenu.
struct CConnected {
    explicit CConnected(const std::vector<std::string>& Files = kAllFiles, bool bMenu = true,
                        const CSimOptions& ADevice = {})
        : ARig(ADevice)
    {
        WriteFiles(AFiles, Files);
        ARig.Load(AFiles);
        EXPECT_TRUE(ARig.Connect());
        if (bMenu) {
            CSettingsBlock AMenu = ARig.ACore.GetSettingsG();
            AMenu[3] ^= 0x01;
            EXPECT_TRUE(ARig.ACore.HandOverMenu(AMenu));
        }
    }
    CUpdateFolder AFiles;
    CProtocolRig ARig;
};

// The order the window relies on: each stage's start, then its progress
// 1..n against its own total, then its result; the menu stage has only its
// result; after the whole update's success only the device's versions read
// again. Answers the first breach, or "" when there is none.
std::string BreachOfOrder(const std::vector<CNote>& Notes)
{
    int nRunning = 0;
    std::uintptr_t nTotal = 0;
    std::intptr_t nDone = 0;
    bool bFinished = false, bReread = false;
    for (const CNote& ANote : Notes) {
        if (ANote.uMessage == WM_DEVICE_READY || ANote.uMessage == WM_SETTINGS_READ)
            continue;
        const std::string strAt = " at " + std::to_string(ANote.uMessage) + "(" + std::to_string(ANote.wParam) + "," +
                                  std::to_string(ANote.lParam) + ")";
        if (bFinished && !bReread && ANote == CNote{WM_DEVICE_REREAD, 1, 0}) {
            bReread = true;
            continue;
        }
        if (bFinished)
            return "after the whole update's result" + strAt;
        switch (ANote.uMessage) {
        case WM_STAGE_START:
            nRunning = static_cast<int>(ANote.wParam);
            nTotal = static_cast<std::uintptr_t>(ANote.lParam);
            nDone = 0;
            break;
        case WM_PROGRESS:
            if (nRunning == 0 || ANote.wParam != nTotal || ANote.lParam != nDone + 1)
                return "a progress that is not the next of the running stage" + strAt;
            nDone = ANote.lParam;
            break;
        case WM_STAGE_RESULT:
            if (ANote.wParam == 6) {
                bFinished = true;
            } else if (ANote.wParam != 5) {
                if (static_cast<int>(ANote.wParam) != nRunning)
                    return "a result for a stage that is not running" + strAt;
                if (ANote.lParam == 0 && static_cast<std::uintptr_t>(nDone) != nTotal)
                    return "a success before all its progress" + strAt;
            }
            nRunning = 0;
            break;
        default: return "an unexpected notification" + strAt;
        }
    }
    if (!bFinished)
        return "no whole update's result";
    return bReread ? "" : "the device was not read again";
}

struct COrderRow {
    const char* szName;
    std::vector<std::string> Files;
    bool bMenu;
    CResults Expected;
    CCommands Wire;  // the update's commands, then the device read again
};

void PrintTo(const COrderRow& ARow, std::ostream* pStream) { *pStream << ARow.szName; }

class Order : public testing::TestWithParam<COrderRow> {};

CCommands Concat(std::initializer_list<CCommands> Parts)
{
    CCommands Wire;
    for (const CCommands& APart : Parts)
        Wire.insert(Wire.end(), APart.begin(), APart.end());
    return Wire;
}

const CCommands kFirmwareWire = Concat({{0x1C}, CCommands(38, 0x06), {0x1A}});
const CCommands kReread = {0x45, 0x47, 0x49};

} // namespace

TEST_P(Order, EachStageStartsCountsAndEndsInOrderOnTheWireAndInTheWindow)
{
    const COrderRow& ARow = GetParam();
    CConnected AConnected(ARow.Files, ARow.bMenu);
    CProtocolRig& ARig = AConnected.ARig;
    EXPECT_EQ(ARig.Run(), ARow.Expected);
    EXPECT_EQ(BreachOfOrder(ARig.ANotes.GetNotes()), "");
    EXPECT_EQ(ARig.UpdateWire(), Concat({ARow.Wire, kReread}));
}

INSTANTIATE_TEST_SUITE_P(
    LastStages, Order,
    testing::Values(
        COrderRow{"firmware", {"AC7811_project.hex"}, false, {{1, 0}, {6, 0}}, kFirmwareWire},
        COrderRow{"camera_database", {"AC7811_project.hex", "flagdata.bin"}, false, {{1, 0}, {2, 0}, {6, 0}},
                  Concat({kFirmwareWire, {0x21, 0x23, 0x23, 0x23, 0x20}})},
        COrderRow{"sound", {"flagdata.bin", "audioHead.bin"}, false, {{2, 0}, {3, 0}, {6, 0}},
                  {0x21, 0x23, 0x23, 0x23, 0x20, 0x31, 0x33, 0x33, 0x33, 0x30}},
        // The radar stage is announced twice: when the sound stage ends, and on its go-ahead.
        COrderRow{"radar", {"audioHead.bin", "rdfw.bin"}, false, {{3, 0}, {4, 0}, {6, 0}},
                  {0x31, 0x33, 0x33, 0x33, 0x30, 0x41, 0x43, 0x43, 0x43, 0x40}},
        // The menu alone: its result and the whole update's, no stage started.
        COrderRow{"menu_only", {}, true, {{5, 0}, {6, 0}}, {0x4A}},
        // Without a sound file the radar follows the camera database, announced once.
        COrderRow{"menu", {"flagdata.bin", "rdfw.bin"}, true, {{2, 0}, {4, 0}, {5, 0}, {6, 0}},
                  {0x21, 0x23, 0x23, 0x23, 0x20, 0x41, 0x43, 0x43, 0x43, 0x40, 0x4A}}),
    [](const auto& AInfo) { return std::string(AInfo.param.szName); });

TEST(Protocol, RadarAnnouncedTwiceAfterSoundAndFirmwareRecordsAtTheirAddresses)
{
    CConnected AConnected({"audioHead.bin", "rdfw.bin"}, false);
    EXPECT_EQ(AConnected.ARig.Run(), (CResults{{3, 0}, {4, 0}, {6, 0}}));
    EXPECT_EQ(Count(AConnected.ARig, {WM_STAGE_START, 4, 3}), 2) << "the radar announced twice";

    CUpdateFolder AFiles;
    AFiles.Write("AC7811_project.hex", MakeHex(0x08000000, RandomBytes(32, 13), "0123", false));
    CProtocolRig ARig;
    ARig.Load(AFiles);
    ASSERT_TRUE(ARig.Connect());
    EXPECT_EQ(ARig.Run(), (CResults{{1, 0}, {6, 0}}));
    const std::vector<CSimLogEntry> Log = ARig.ARecorder.GetLog();
    std::vector<CSimBytes> Written;
    for (const CSimLogEntry& AEntry : Log)
        if (AEntry.eKind == ESimLogKind::Received)
            Written.push_back(AEntry.Bytes);
    ASSERT_GE(Written.size(), 7u);
    EXPECT_EQ(Written[3], MakeFrameBytes(0x1C, {0x01, 0x23}));
    EXPECT_EQ(CBytes(Written[4].begin() + 4, Written[4].begin() + 9), (CBytes{0x00, 0x00, 0x00, 0x08, 0x10}));
    EXPECT_EQ(CBytes(Written[5].begin() + 4, Written[5].begin() + 9), (CBytes{0x10, 0x00, 0x00, 0x08, 0x10}));
    EXPECT_EQ(Written[6][3], 0x1A);
    EXPECT_EQ(Count(ARig, {WM_PROGRESS, 2, 2}), 1) << "the bar reaches 100%";
}

// What the check of the files promises before an update is what the update
// then puts on the line, stage by stage, byte for byte both ways.
TEST(Protocol, ThePlanOfEachStageIsWhatGoesOnTheLine)
{
    CConnected AConnected;
    CProtocolRig& ARig = AConnected.ARig;
    EXPECT_EQ(ARig.Run(), kWhole);
    const auto Traffic = CountStageTraffic(ARig.ARecorder.GetLog());
    for (const CStage& AStage : kStages) {
        const CStagePlan APlan = PlanStage(AStage, ARig.AImages);
        const CSimTraffic& AOnLine = Traffic[static_cast<std::size_t>(AStage.nStage)];
        EXPECT_EQ(APlan.nBytesOut, AOnLine.nBytesOut) << "stage " << AStage.nStage;
        EXPECT_EQ(APlan.nBytesIn, AOnLine.nBytesIn) << "stage " << AStage.nStage;
        EXPECT_EQ(APlan.nUnits + (AStage.eImage == EImage::Menu ? 0u : 2u), AOnLine.nFramesOut)
            << "stage " << AStage.nStage << ": its data frames, its start and its end";
    }
}

namespace {

// A device that misbehaves in one way, how long after the update's start
// the protocol answers it, and what it answers.
struct CFaultRow {
    const char* szName;
    void (*Set)(CSimOptions&);
    CResults Expected;
    CUpdateFailure::EKind eKind;
    CMillis tAfter;  // the update's end comes this long after its start, not sooner
    std::wstring strStatus = {};
};

void PrintTo(const CFaultRow& ARow, std::ostream* pStream) { *pStream << ARow.szName; }

class Fault : public testing::TestWithParam<CFaultRow> {};

} // namespace

TEST_P(Fault, EndsTheUpdateWithItsFailureWhenItIsDue)
{
    const CFaultRow& ARow = GetParam();
    CSimOptions ADevice;
    ARow.Set(ADevice);
    CConnected AConnected({"flagdata.bin", "rdfw.bin"}, true, ADevice);
    CProtocolRig& ARig = AConnected.ARig;
    const CMillis tStart = ARig.tNow;
    ARig.Start();
    if (ARow.tAfter > 0ms) {
        ARig.Advance(ARow.tAfter - 1ms);
        EXPECT_TRUE(ARig.ACore.IsRunning()) << "ended before it was due";
    }
    ARig.Advance(1ms);
    EXPECT_EQ(ARig.Results(), ARow.Expected);
    EXPECT_EQ(ARig.ACore.GetFailure().eKind, ARow.eKind);
    EXPECT_EQ(ARig.ACore.GetFailure().strStatus, ARow.strStatus);
    EXPECT_EQ(ARig.tNow - tStart, ARow.tAfter == 0ms ? 1ms : ARow.tAfter);
    EXPECT_EQ(ARig.ACore.GetInFlight(), 0) << "nothing is left waiting";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Fault,
    testing::Values(
        // Probe, 0x45, 0x47, 0x49, 0x21 and the first block answered: silent
        // from the second block on, failed after 30 s without an answer.
        CFaultRow{"silent_in_a_stage", [](CSimOptions& A) { A.nStopAfter = 6; }, {{2, 1}, {6, 1}},
                  CUpdateFailure::EKind::Silent, 30000ms},
        // A block refused with a flash failure stays in flight: the stall
        // names the device's status.
        CFaultRow{"a_block_refused", [](CSimOptions& A) { A.FailBlocks = {{0x43, 2, 5}}; }, {{2, 0}, {4, 1}, {6, 1}},
                  CUpdateFailure::EKind::Silent, 30000ms, L"Flash 读保护!"},
        // The device asks to stop in the middle of a stage: what it wrote
        // cannot be whole, which is said at once.
        CFaultRow{"device_request_in_a_stage", [](CSimOptions& A) { A.DeviceRequests = {{1, 0x23}}; },
                  {{2, 1}, {6, 1}}, CUpdateFailure::EKind::Incomplete, 0ms},
        CFaultRow{"unplugged_in_a_stage", [](CSimOptions& A) { A.nHangupAfter = 2, A.nHangupCommand = 0x43; },
                  {{2, 0}, {4, 1}, {6, 1}}, CUpdateFailure::EKind::Lost, 0ms},
        // The start never answered: the stage that did not begin failed.
        CFaultRow{"start_unanswered", [](CSimOptions& A) { A.nStopAfter = 0, A.nStopCommand = 0x41; },
                  {{2, 0}, {4, 1}, {6, 1}}, CUpdateFailure::EKind::Silent, 30000ms}),
    [](const auto& AInfo) { return std::string(AInfo.param.szName); });

// The device restarts after its firmware: nothing is written for its pause,
// and a device request that comes meanwhile is acknowledged and loses
// nothing. Bytes arriving in the pause are dispatched as any other.
TEST(Protocol, TheFirmwareRestartIsAPauseOfTenSecondsThatFramesDoNotCut)
{
    CConnected AConnected({"AC7811_project.hex", "flagdata.bin"}, false);
    CProtocolRig& ARig = AConnected.ARig;
    ARig.Start();
    ASSERT_EQ(ARig.Results(), (CResults{{1, 0}}));
    const std::size_t nWritten = ARig.Wire.size();
    const CMillis tEnded = ARig.WireTimes.back();
    ARig.Inject(CSimResponder::MakeDeviceRequest());
    EXPECT_EQ(ARig.Wire.size(), nWritten + 1) << "only the acknowledgement";
    EXPECT_EQ(ARig.Wire.back(), Cmd::Acknowledge);
    ARig.Inject(CSimResponder::MakeFrame(kStages[1].btGoAhead));  // no start was sent for it
    ARig.Advance(9999ms);
    EXPECT_EQ(ARig.Wire.size(), nWritten + 1) << "a frame in the restart pause";
    ARig.Advance(1ms);
    ASSERT_GT(ARig.Wire.size(), nWritten + 1);
    EXPECT_EQ(ARig.Wire[nWritten + 1], 0x21);
    EXPECT_EQ(ARig.WireTimes[nWritten + 1] - tEnded, 10000ms);
    EXPECT_EQ(ARig.Results(), (CResults{{1, 0}, {2, 0}, {6, 0}}));
}

// Connecting: the device's information is asked again when its answer is
// lost, five times in all; a device that never answers is given up and
// never announced. A settings read left unanswered is given up after the
// queue's wait, and the next goes.
TEST(Protocol, ConnectingAsksAgainGivesUpAndSkipsUnansweredReads)
{
    struct {
        long nLoseInfo;
        CUpdateProtocol::ELink eLink;
        std::size_t nAsked;
    } const Rows[] = {{2, CUpdateProtocol::ELink::Ready, 3}, {-1, CUpdateProtocol::ELink::GaveUp, 5}};
    for (const auto& ARow : Rows) {
        CSimOptions ADevice;
        ADevice.nLoseInfo = ARow.nLoseInfo;
        CProtocolRig ARig(ADevice);
        ARig.Connect();
        ARig.Advance(10000ms);
        EXPECT_EQ(ARig.ACore.GetLink(), ARow.eLink);
        EXPECT_EQ(std::count(ARig.Wire.begin(), ARig.Wire.end(), Cmd::InfoRequest), static_cast<long>(ARow.nAsked));
        EXPECT_EQ(ARig.WireTimes[ARow.nAsked - 1], CMillis(1000) * static_cast<long>(ARow.nAsked - 1));
        const bool bReady = ARow.eLink == CUpdateProtocol::ELink::Ready;
        EXPECT_EQ(Count(ARig, {WM_DEVICE_READY, 0, 0}), bReady ? 1 : 0);
    }

    CSimOptions ANoMenu;
    ANoMenu.bNoMenu = true;
    CProtocolRig ARig(ANoMenu);
    ASSERT_TRUE(ARig.Connect());
    ARig.Advance(4999ms);
    EXPECT_EQ(ARig.Wire, (CCommands{0x45, 0x47}));
    ARig.Advance(1ms);
    EXPECT_EQ(ARig.Wire, (CCommands{0x45, 0x47, 0x49}));
    ARig.Advance(5000ms);
    EXPECT_EQ(ARig.ACore.GetInFlight(), 0);
    EXPECT_EQ(ARig.ACore.GetWakeUp(), std::nullopt) << "nothing left to wait for";
}

// After a success the device is asked again what it now is: announced with
// its new versions, or, when it does not answer, as having said nothing.
TEST(Protocol, AfterASuccessTheDeviceIsReadAgain)
{
    for (const bool bAnswers : {true, false}) {
        CSimOptions ADevice;
        if (!bAnswers)
            ADevice.nStopAfter = 2, ADevice.nStopCommand = 0x45;  // the probe and the connection's request
        CConnected AConnected({"AC7811_project.hex"}, false, ADevice);
        CProtocolRig& ARig = AConnected.ARig;
        EXPECT_EQ(ARig.Run(), (CResults{{1, 0}, {6, 0}}));
        ARig.Advance(10000ms);
        EXPECT_EQ(Count(ARig, {WM_DEVICE_REREAD, bAnswers ? 1u : 0u, 0}), 1);
        EXPECT_EQ(ARig.ACore.GetVersions()[0], bAnswers ? L"0102" : L"") << "the firmware version it was sent";
    }
}

// What a start answers, and that nothing the device sends unasked starts
// anything: a go-ahead before any update, an update refused for a damaged
// file.
TEST(Protocol, AStartAnswersWhatHappenedAndNothingUnaskedStartsAStage)
{
    CUpdateFolder AFiles;
    AFiles.Write("flagdata.bin", RandomBytes(9000, 1));
    CProtocolRig ARig;
    ARig.Load(AFiles);
    EXPECT_EQ(ARig.Start(), EStartResult::NotConnected);
    ASSERT_TRUE(ARig.Connect());
    const std::size_t nWritten = ARig.Wire.size();
    ARig.Inject(CSimResponder::MakeFrame(kStages[1].btGoAhead));
    EXPECT_EQ(ARig.Wire.size(), nWritten) << "a go-ahead nobody asked for started a stage";
    EXPECT_EQ(ARig.ACore.StartUpdate(ARig.tNow), EStartResult::Started);
    EXPECT_EQ(ARig.ACore.StartUpdate(ARig.tNow), EStartResult::Running);
    ARig.Pump();
    EXPECT_EQ(ARig.Results(), (CResults{{2, 0}, {6, 0}}));

    AFiles.Write("flagdata.bin", std::string());
    ARig.Load(AFiles);
    EXPECT_EQ(ARig.Start(), EStartResult::NothingToDo);
    AFiles.Write("AC7811_project.hex", std::string(":10000000FF\r\n"));
    ARig.Load(AFiles);
    const std::size_t nBefore = ARig.Wire.size();
    EXPECT_EQ(ARig.Start(), EStartResult::Refused);
    EXPECT_EQ(ARig.Wire.size(), nBefore) << "a damaged file reached the device";
    EXPECT_EQ(ARig.ACore.GetFailure().eKind, CUpdateFailure::EKind::Damaged);
    EXPECT_EQ(ARig.Results().back(), std::make_pair(6, 1));
}

// A write that fails ends the update as such; a menu answer to a read asked
// before the driver's menu was handed over does not replace it, so the
// driver's menu is what is written; once written, the device's answers are
// its menu again.
TEST(Protocol, AFailedWriteFailsAndAHandedOverMenuIsWhatIsWritten)
{
    CConnected AFails({"rdfw.bin"}, false);
    AFails.ARig.FailWriteOf = 0x43;
    AFails.ARig.Run();
    EXPECT_EQ(AFails.ARig.Results(), (CResults{{4, 1}, {6, 1}}));
    EXPECT_EQ(AFails.ARig.ACore.GetFailure().eKind, CUpdateFailure::EKind::WriteFailed);

    CConnected AConnected({}, false);
    CProtocolRig& ARig = AConnected.ARig;
    const CSettingsBlock ADevice = ARig.ACore.GetSettingsG();
    const auto Answer = [](const CSettingsBlock& AMenu) {
        CBytes Payload{Cmd::ReadSettingsG};
        Payload.insert(Payload.end(), AMenu.begin(), AMenu.end());
        return MakeFrameBytes(Cmd::SettingsBlock, Payload);
    };
    CSettingsBlock AMenu = ADevice;
    AMenu[3] ^= 0x01;
    EXPECT_FALSE(ARig.ACore.HandOverMenu(ADevice)) << "the device's own menu is nothing to write";
    ASSERT_TRUE(ARig.ACore.HandOverMenu(AMenu));
    ARig.Inject(Answer(ADevice));
    EXPECT_EQ(ARig.Run(), (CResults{{5, 0}, {6, 0}}));
    EXPECT_EQ(ARig.ARecorder.GetSettings(), CBytes(AMenu.begin(), AMenu.end()));
    CSettingsBlock AChanged = AMenu;
    AChanged[4] ^= 0xFF;
    ARig.Inject(Answer(AChanged));
    EXPECT_EQ(ARig.ACore.GetSettingsG(), AChanged);
}
