// Updates against the virtual device on a pseudo-terminal: the wire and the
// notifications. Whole updates, and what the device keeps of them, are the
// fault matrix's.
#include <atomic>
#include <functional>
#include <gtest/gtest.h>

#include "Command.h"
#include "DeviceTestKit.h"
#include "StagePlan.h"
#include "UpdateImages.h"

using namespace std::chrono_literals;
using CResults = std::vector<std::pair<int, int>>;
using CCommands = std::vector<std::uint8_t>;

namespace {

class Update : public testing::Test {
protected:
    // The device on COM3 and a worker that has found it and read its menu.
    void Connect(CSimOptions AOptions = {}, CWorkSettings ASettings = CEngine::Fast())
    {
        m_pDevice = StartDevice(m_Ports.GetPath(), 3, AOptions);
        m_pEngine = std::make_unique<CEngine>(ASettings);
        m_pEngine->Start(m_Files);
        ASSERT_TRUE(m_pEngine->WaitConnected());
    }
    // Starts the update and waits for its end; answers the stage results.
    CResults Run()
    {
        EXPECT_TRUE(m_pEngine->AWork.StartUpdate());
        EXPECT_TRUE(m_pEngine->ANotes.WaitFor(WM_STAGE_RESULT, 6, 60s));
        return m_pEngine->ANotes.Results();
    }
    // The commands of the update, after the connection's probe, 0x45, 0x47,
    // 0x49, up to the nFrames-th frame (the device is asked again what it
    // is after a success).
    CCommands UpdateCommands(std::uint64_t nFrames)
    {
        EXPECT_TRUE(m_pDevice->WaitForFrames(nFrames, 10s));
        const CCommands Commands = CommandsReceived(*m_pDevice);
        const auto nEnd = std::min<long>(static_cast<long>(nFrames), static_cast<long>(Commands.size()));
        return CCommands(Commands.begin() + std::min<long>(4, nEnd), Commands.begin() + nEnd);
    }

    CTempPortDir m_Ports;
    CUpdateFolder m_Files;
    std::unique_ptr<CSimDevice> m_pDevice;
    std::unique_ptr<CEngine> m_pEngine;
};

} // namespace

TEST_F(Update, NothingToDo)
{
    Connect();
    const std::size_t nNotes = m_pEngine->ANotes.GetNotes().size();
    EXPECT_FALSE(m_pEngine->AWork.StartUpdate()) << "no image, no menu: nothing is sent";
    EXPECT_FALSE(m_pDevice->WaitForFrames(5, 100ms)) << "a frame reached the device";
    EXPECT_FALSE(m_pEngine->ANotes.WaitForMore(nNotes, 100ms)) << "a notification came";
}

TEST_F(Update, FirmwareOfFiveRecordsSendsTwoFramesAtTheirAddresses)
{
    m_Files.Write("AC7811_project.hex", MakeHex(0x08000000, RandomBytes(32, 13), "0123", false));
    Connect();
    EXPECT_EQ(m_pEngine->AWork.GetProjectCount(), 5u);
    EXPECT_EQ(Run(), (CResults{{1, 0}, {6, 0}}));
    ASSERT_TRUE(m_pDevice->WaitForFrames(8, 10s));
    const std::vector<CSimBytes> Frames = m_pDevice->GetReceivedFrames();
    ASSERT_GE(Frames.size(), 8u) << "then the device is asked again what it is";
    EXPECT_EQ(Frames[4], MakeFrameBytes(0x1C, {0x01, 0x23}));
    EXPECT_EQ(Frames[5][1], 26) << "21-byte payload";
    EXPECT_EQ(CBytes(Frames[5].begin() + 4, Frames[5].begin() + 9), (CBytes{0x00, 0x00, 0x00, 0x08, 0x10}));
    EXPECT_EQ(CBytes(Frames[6].begin() + 4, Frames[6].begin() + 9), (CBytes{0x10, 0x00, 0x00, 0x08, 0x10}));
    EXPECT_EQ(Frames[7][3], 0x1A);
    // The progress total is the number of frames, so the bar reaches 100%.
    const auto Notes = m_pEngine->ANotes.GetNotes();
    EXPECT_NE(std::find(Notes.begin(), Notes.end(), CNote{WM_PROGRESS, 2, 2}), Notes.end());
}

namespace {

// A window that hands every notification on to the recorder and, on the
// first progress, runs a hook (on the thread that reports it).
class CHookedWindow final : public CNotifyWindow {
public:
    CHookedWindow(CNoteRecorder& ANotes, std::function<void()> OnFirstProgress)
        : m_Notes(ANotes), m_OnFirstProgress(std::move(OnFirstProgress))
    {
    }
    std::intptr_t SendMessage(std::uint32_t uMessage, std::uintptr_t wParam, std::intptr_t lParam) override
    {
        if (uMessage == WM_PROGRESS && !m_bHooked.exchange(true))
            m_OnFirstProgress();
        return m_Notes.SendMessage(uMessage, wParam, lParam);
    }

private:
    CNoteRecorder& m_Notes;
    std::function<void()> m_OnFirstProgress;
    std::atomic<bool> m_bHooked{false};
};

} // namespace

// A menu answer to a read asked before the driver's menu was handed over
// (the device read again after an update, answering late) does not replace
// it: the driver's menu is what is written. Once written, the device's
// answers are its menu again.
TEST_F(Update, AHandedOverMenuIsWrittenWhateverMenuAnswerComesLate)
{
    Connect();
    CSettingsBlock ADevice{};
    m_pEngine->AWork.GetSettingsG(ADevice.data());
    const auto Answer = [](const CSettingsBlock& AMenu) {
        CBytes Payload{Cmd::ReadSettingsG};
        Payload.insert(Payload.end(), AMenu.begin(), AMenu.end());
        const CBytes Frame = MakeFrameBytes(Cmd::SettingsBlock, Payload);
        return CRawString(Frame.data(), static_cast<std::int32_t>(Frame.size()));
    };
    CSettingsBlock AMenu = ADevice;
    AMenu[3] ^= 0x01;
    ASSERT_TRUE(m_pEngine->AWork.HandOverMenu(AMenu));
    m_pEngine->AWork.DispatchFrame(Answer(ADevice));
    EXPECT_EQ(Run(), (CResults{{5, 0}, {6, 0}}));
    EXPECT_EQ(m_pDevice->GetSettings(), CBytes(AMenu.begin(), AMenu.end()));

    ASSERT_TRUE(m_pEngine->ANotes.WaitFor(WM_SETTINGS_READ, -1, 20s, 4)) << "the device read again";
    CSettingsBlock AChanged = AMenu;
    AChanged[4] ^= 0xFF;
    m_pEngine->AWork.DispatchFrame(Answer(AChanged));
    CSettingsBlock AHeld{};
    m_pEngine->AWork.GetSettingsG(AHeld.data());
    EXPECT_EQ(AHeld, AChanged);
}

// Whatever drops a block from the queue unanswered (a device request clears
// the queue while the update thread may still be queueing the stage), the
// stage must not end as a success with a hole in what the device wrote.
TEST_F(Update, ABlockDroppedFromTheQueueFailsItsStage)
{
    const CBytes EDog = RandomBytes(9000, 22);  // three blocks
    m_Files.Write("flagdata.bin", EDog);
    m_pDevice = StartDevice(m_Ports.GetPath(), 3);
    m_pEngine = std::make_unique<CEngine>();
    // On the first block's answer the second is on the line, the third and
    // the end queued behind it: the second goes, as a cleared queue drops it.
    CHookedWindow AHook(m_pEngine->ANotes, [this] { m_pEngine->AWork.RemoveFront(0x23); });
    m_pEngine->AWork.SetNotifyWnd(&AHook);
    m_pEngine->AWork.StartWork(50, 256000, m_Files.GetFolderText());
    ASSERT_TRUE(m_pEngine->WaitConnected());
    const CResults Results = Run();
    m_pEngine->AWork.Reset();  // before the hook goes
    if (Results == CResults{{2, 0}, {6, 0}}) {
        // The update thread was slower than the device: the third block was
        // queued after the drop, and the device answered all three.
        EXPECT_EQ(m_pDevice->GetImage(0x21), EDog) << "a success with a hole";
    } else {
        EXPECT_EQ(Results, (CResults{{2, 1}, {6, 1}}));
        EXPECT_NE(m_pDevice->GetImage(0x21), EDog);
        EXPECT_EQ(m_pEngine->AWork.GetFailure().eKind, CUpdateFailure::EKind::Incomplete);
    }
}

// The information request is asked five times in all; a device that never
// answers one is not taken, and the search goes on and says what it met.
TEST_F(Update, ADeviceThatNeverSendsItsInformationIsNotTaken)
{
    CSimOptions AOptions;
    AOptions.nLoseInfo = -1;
    m_pDevice = StartDevice(m_Ports.GetPath(), 3, AOptions);
    CEngine AEngine;
    AEngine.Start(m_Files, 6);
    // Two searches: each probes, asks five times and gives the port up.
    ASSERT_TRUE(m_pDevice->WaitForFrames(12, 20s));
    const std::vector<CPortFinding> Findings = AEngine.AWork.GetSearchFindings();
    ASSERT_EQ(Findings.size(), 1u);
    EXPECT_EQ(Findings[0].eKind, CPortFinding::EKind::NoInfo);
    EXPECT_EQ(Findings[0].btPort, 3);
    EXPECT_TRUE(AEngine.ANotes.GetNotes().empty()) << "no device was announced";
    const auto Commands = CommandsReceived(*m_pDevice);
    EXPECT_EQ(CCommands(Commands.begin(), Commands.begin() + 12), CCommands(12, 0x45))
        << "probes and requests, nothing else";
    AEngine.AWork.Reset();
    EXPECT_FALSE(AEngine.AWork.IsConnected());
}

namespace {

// Checks the notifications of one update against the order the window
// relies on: each stage's start, then its progress 1..n against its own
// total, then its result; the menu stage has only its result; after the
// whole update's success only the device's versions read again. Answers
// the first breach, or "" when there is none.
std::string BreachOfOrder(const std::vector<CNote>& Notes)
{
    int nRunning = 0;  // the stage whose start came and whose result has not
    std::uintptr_t nTotal = 0;
    std::intptr_t nDone = 0;
    bool bFinished = false;
    bool bReread = false;
    std::string strSeen;
    for (const CNote& ANote : Notes) {
        if (ANote.uMessage == WM_DEVICE_READY || ANote.uMessage == WM_SETTINGS_READ)
            continue;
        strSeen += " " + std::to_string(ANote.uMessage) + "(" + std::to_string(ANote.wParam) + "," +
                   std::to_string(ANote.lParam) + ")";
        if (bFinished && !bReread && ANote == CNote{WM_DEVICE_REREAD, 1, 0}) {
            bReread = true;
            continue;
        }
        if (bFinished)
            return "after the whole update's result:" + strSeen;
        switch (ANote.uMessage) {
        case WM_STAGE_START:
            nRunning = static_cast<int>(ANote.wParam);
            nTotal = static_cast<std::uintptr_t>(ANote.lParam);
            nDone = 0;
            break;
        case WM_PROGRESS:
            if (nRunning == 0 || ANote.wParam != nTotal || ANote.lParam != nDone + 1)
                return "a progress that is not the next of the running stage:" + strSeen;
            nDone = ANote.lParam;
            break;
        case WM_STAGE_RESULT:
            if (ANote.wParam == 6) {
                bFinished = true;
            } else if (ANote.wParam != 5) {
                if (static_cast<int>(ANote.wParam) != nRunning)
                    return "a result for a stage that is not running:" + strSeen;
                if (ANote.lParam == 0 && static_cast<std::uintptr_t>(nDone) != nTotal)
                    return "a success before all its progress:" + strSeen;
            }
            nRunning = 0;
            break;
        default:
            return "an unexpected notification:" + strSeen;
        }
    }
    if (!bFinished)
        return "no whole update's result:" + strSeen;
    return bReread ? "" : "the device was not read again:" + strSeen;
}

struct COrderRow {
    const char* szName;
    std::vector<std::string> Files;  // of firmware, camera database, sound, radar
    bool bMenu;
    CResults Expected;
    CCommands Wire;  // the update's commands on the wire, in order
};

void PrintTo(const COrderRow& ARow, std::ostream* pStream) { *pStream << ARow.szName; }

class NotificationOrder : public Update, public testing::WithParamInterface<COrderRow> {};

} // namespace

// Every kind of last stage: the answer to the last block lets the end
// command go on the reading thread, in the middle of that answer's reply.
TEST_P(NotificationOrder, EachStageStartsCountsAndEndsInOrder)
{
    const COrderRow& ARow = GetParam();
    for (const std::string& strFile : ARow.Files) {
        if (strFile == "AC7811_project.hex")
            m_Files.Write(strFile, MakeHex(0x08000000, RandomBytes(600, 20), "0102"));
        else
            m_Files.Write(strFile, RandomBytes(strFile == "rdfw.bin" ? 2100 : 9000, 21));
    }
    Connect();
    if (ARow.bMenu) {
        CSettingsBlock AMenu{};
        m_pEngine->AWork.GetSettingsG(AMenu.data());
        AMenu[3] ^= 0x01;
        m_pEngine->AWork.SetSettingsG(AMenu.data());
        m_pEngine->AWork.SetWriteSettings(1);
    }
    EXPECT_EQ(Run(), ARow.Expected);
    // Then the device is asked what it now is, and its menu read again.
    EXPECT_TRUE(m_pEngine->ANotes.WaitFor(WM_DEVICE_REREAD, 1));
    EXPECT_TRUE(m_pEngine->ANotes.WaitFor(WM_SETTINGS_READ, -1, 20s, 4));
    const std::size_t nNotes = m_pEngine->ANotes.GetNotes().size();
    EXPECT_FALSE(m_pEngine->ANotes.WaitForMore(nNotes, 300ms)) << "something came after the device was read again";
    EXPECT_EQ(BreachOfOrder(m_pEngine->ANotes.GetNotes()), "");
    CCommands Wire = ARow.Wire;
    Wire.insert(Wire.end(), {0x45, 0x47, 0x49});
    EXPECT_EQ(UpdateCommands(4 + Wire.size()), Wire);
    EXPECT_EQ(CommandsReceived(*m_pDevice).size(), 4 + Wire.size()) << "nothing else reached the device";
}

// Firmware of 600 bytes: 38 records and the end; the block images of 9000
// bytes: three blocks; the radar image of 2100 bytes: 1024 + 1024 + 52.
const CCommands kFirmwareWire = [] {
    CCommands Wire{0x1C};
    Wire.insert(Wire.end(), 38, 0x06);
    Wire.push_back(0x1A);
    return Wire;
}();

CCommands Concat(std::initializer_list<CCommands> Parts)
{
    CCommands Wire;
    for (const CCommands& APart : Parts)
        Wire.insert(Wire.end(), APart.begin(), APart.end());
    return Wire;
}

INSTANTIATE_TEST_SUITE_P(
    LastStages, NotificationOrder,
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

// What the check of the files promises before an update is what the update
// then puts on the line, stage by stage, byte for byte both ways.
TEST_F(Update, ThePlanOfEachStageIsWhatGoesOnTheLine)
{
    m_Files.Write("AC7811_project.hex", MakeHex(0x0800FF00, RandomBytes(700, 30), "0102"));
    m_Files.Write("flagdata.bin", RandomBytes(9000, 31));
    m_Files.Write("audioHead.bin", RandomBytes(4096, 32));
    m_Files.Write("rdfw.bin", RandomBytes(2100, 33));
    Connect();
    CSettingsBlock AMenu{};
    AMenu[3] = 1;
    m_pEngine->AWork.HandOverMenu(AMenu);
    EXPECT_EQ(Run(), (CResults{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}}));

    CUpdateImages AImages;
    AImages.Load(m_Files.GetPath() / "");
    const auto Traffic = CountStageTraffic(m_pDevice->GetRecorder().GetLog());
    for (const CStage& AStage : kStages) {
        const CStagePlan APlan = PlanStage(AStage, AImages);
        const CSimTraffic& AOnLine = Traffic[static_cast<std::size_t>(AStage.nStage)];
        EXPECT_EQ(APlan.nBytesOut, AOnLine.nBytesOut) << "stage " << AStage.nStage;
        EXPECT_EQ(APlan.nBytesIn, AOnLine.nBytesIn) << "stage " << AStage.nStage;
        EXPECT_EQ(APlan.nUnits + (AStage.eImage == EImage::Menu ? 0u : 2u), AOnLine.nFramesOut)
            << "stage " << AStage.nStage << ": its data frames, its start and its end";
    }
}
