// The reply dispatcher on a worker without a port, fed arbitrary frames
// between update starts. Whatever the device sends, nothing is read outside
// a frame, the send queue holds only commands the host builds and grows by
// at most what one answer queues, the settings blocks and device versions
// change only through a whole answer of their kind, and every notification
// names a real stage and result.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "Command.h"
#include "DealMsg.h"
#include "FuzzCheck.h"
#include "NoteRecorder.h"
#include "Stages.h"
#include "Work_BK.h"

namespace {

bool IsHostCommand(std::uint8_t btCommand)
{
    return GetStageOfHostCommand(btCommand) != 0 || btCommand == Cmd::Acknowledge ||
           btCommand == Cmd::InfoRequest || btCommand == Cmd::ReadSettingsG || btCommand == Cmd::ReadSettingsI;
}

// The commands the device sends, in the order the kept inputs pick them by.
constexpr std::uint8_t kDeviceCommands[] = {
    Cmd::Acknowledge,         Cmd::NoAction,           Cmd::DeviceInfo,           kStages[0].btGoAhead,
    kStages[0].btStart,       Cmd::DeviceRequest,      kStages[1].btGoAhead,      kStages[1].btBlockAnswer,
    kStages[2].btGoAhead,     kStages[2].btBlockAnswer, kStages[3].btGoAhead,     kStages[3].btBlockAnswer,
    Cmd::SettingsBlock,       kStages[4].btEndAnswer};

bool IsDeviceCommand(std::uint8_t btCommand)
{
    return std::find(std::begin(kDeviceCommands), std::end(kDeviceCommands), btCommand) != std::end(kDeviceCommands);
}

// Every notification names a real stage and result: checked for the notes
// that came since the last check. Answers the stage results among them.
std::vector<std::pair<int, int>> CheckNotes(const std::vector<CNote>& Notes, std::size_t nFrom)
{
    std::vector<std::pair<int, int>> Results;
    for (std::size_t i = nFrom; i < Notes.size(); ++i) {
        const CNote& ANote = Notes[i];
        switch (ANote.uMessage) {
        case WM_STAGE_START: FUZZ_REQUIRE(ANote.wParam >= 1 && ANote.wParam <= 5); break;
        case WM_STAGE_RESULT:
            // Stage 0: an end answer before any stage ran reports the
            // current stage, which is none yet.
            FUZZ_REQUIRE(ANote.wParam <= 6);
            FUZZ_REQUIRE(ANote.lParam == 0 || ANote.lParam == 1);
            Results.emplace_back(static_cast<int>(ANote.wParam), static_cast<int>(ANote.lParam));
            break;
        case WM_PROGRESS:
        case WM_DEVICE_READY:
        case WM_SETTINGS_READ:
        case WM_DEVICE_LOST: break;
        default: FUZZ_REQUIRE(!"unknown notification");
        }
    }
    return Results;
}

CRawString MakeFrame(std::uint8_t btCommand, const std::vector<std::uint8_t>& Payload)
{
    std::vector<std::uint8_t> Bytes = {0xAC, static_cast<std::uint8_t>(Payload.size() + 5),
                                       static_cast<std::uint8_t>((Payload.size() + 5) >> 8), btCommand};
    Bytes.insert(Bytes.end(), Payload.begin(), Payload.end());
    std::uint8_t btSum = btCommand;
    for (const std::uint8_t bt : Payload)
        btSum = static_cast<std::uint8_t>(btSum + bt);
    Bytes.push_back(btSum);
    return CRawString(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
}

std::wstring Format(const wchar_t* wzFormat, std::uint8_t btHigh, std::uint8_t btLow)
{
    wchar_t wzBuf[16] = {};
    std::swprintf(wzBuf, 16, wzFormat, btHigh * 256 + btLow);
    return wzBuf;
}

struct CObserved {
    CSettingsBlock G{};
    CSettingsBlock I{};
    std::wstring strVersions[3];
    bool bVersions = false;
    std::size_t nTasks = 0;

    explicit CObserved(CWork_BK& AWork)
    {
        AWork.GetSettingsG(G.data());
        AWork.GetSettingsI(I.data());
        bVersions = AWork.GetDeviceVersions(strVersions[0], strVersions[1], strVersions[2]);
        nTasks = AWork.GetTaskCount();
    }
};

void CheckAfter(CWork_BK& AWork, const CRawString& strFrame, const CObserved& ABefore, bool bUpdateRan)
{
    const CObserved AAfter(AWork);
    const std::uint8_t btCommand = strFrame.At(3);
    const std::int32_t nLength = strFrame.GetLength();

    FUZZ_REQUIRE(AAfter.nTasks <= ABefore.nTasks + 2);
    const std::uint8_t btFront = AWork.GetFrontCommand();
    FUZZ_REQUIRE(AAfter.nTasks == 0 ? btFront == 0 : IsHostCommand(btFront));
    if (!IsDeviceCommand(btCommand) || btCommand == Cmd::NoAction)
        FUZZ_REQUIRE(AAfter.nTasks == ABefore.nTasks);

    // A settings block is taken whole from a 0x48 answer long enough to hold
    // it, and from nothing else; not while an update runs, whose menu it
    // would replace.
    const bool bSettings = btCommand == Cmd::SettingsBlock && nLength >= 5 + 1 + 73 && !bUpdateRan;
    const CSettingsBlock* pExpectG = &ABefore.G;
    const CSettingsBlock* pExpectI = &ABefore.I;
    CSettingsBlock AFromFrame{};
    if (bSettings) {
        std::copy(strFrame.GetData() + 5, strFrame.GetData() + 5 + 73, AFromFrame.begin());
        if (strFrame.At(4) == Cmd::ReadSettingsG)
            pExpectG = &AFromFrame;
        else if (strFrame.At(4) == Cmd::ReadSettingsI)
            pExpectI = &AFromFrame;
    }
    FUZZ_REQUIRE(AAfter.G == *pExpectG);
    FUZZ_REQUIRE(AAfter.I == *pExpectI);

    if (btCommand == Cmd::DeviceInfo && nLength >= 13) {
        FUZZ_REQUIRE(AAfter.bVersions);
        FUZZ_REQUIRE(AAfter.strVersions[0] == Format(L"%04x", strFrame.At(6), strFrame.At(7)));
        FUZZ_REQUIRE(AAfter.strVersions[1] == Format(L"%04x", strFrame.At(8), strFrame.At(9)));
        FUZZ_REQUIRE(AAfter.strVersions[2] == Format(L"%04x", strFrame.At(10), strFrame.At(11)));
    } else {
        FUZZ_REQUIRE(AAfter.bVersions == ABefore.bVersions);
        for (int i = 0; i < 3; ++i)
            FUZZ_REQUIRE(AAfter.strVersions[i] == ABefore.strVersions[i]);
    }
    FUZZ_REQUIRE(AWork.GetCurrentStage() >= 0 && AWork.GetCurrentStage() <= 6);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    FuzzedDataProvider AInput(pData, nSize);
    CWork_BK AWork;
    CWorkSettings ASettings;
    ASettings.dwFirmwarePause = 0;
    AWork.SetWorkSettings(ASettings);
    CNoteRecorder AWindow;
    const bool bWindow = AInput.ConsumeBool();
    if (bWindow)
        AWork.SetNotifyWnd(&AWindow);

    while (AInput.remaining_bytes() > 0) {
        const std::uint8_t btOp = AInput.ConsumeIntegral<std::uint8_t>();
        if (btOp == 0) {
            AWork.StartUpdate();
            continue;
        }
        if (btOp == 1) {
            AWork.SetWriteSettings(AWork.GetWriteSettings() == 0 ? 1 : 0);
            continue;
        }
        CRawString strFrame;
        if (btOp == 2) {
            // Not a frame at all: the dispatcher must not trust the length.
            const std::vector<std::uint8_t> Raw =
                AInput.ConsumeBytes<std::uint8_t>(AInput.ConsumeIntegralInRange<std::size_t>(0, 300));
            strFrame.Assign(Raw.data(), static_cast<std::int32_t>(Raw.size()));
        } else {
            const std::uint8_t btCommand =
                (btOp & 0x80) != 0 ? kDeviceCommands[btOp % std::size(kDeviceCommands)]
                                   : AInput.ConsumeIntegral<std::uint8_t>();
            const std::vector<std::uint8_t> Payload =
                AInput.ConsumeBytes<std::uint8_t>(AInput.ConsumeIntegralInRange<std::size_t>(0, 250));
            strFrame = MakeFrame(btCommand, Payload);
        }
        const CObserved ABefore(AWork);
        const std::size_t nNotes = AWindow.GetNotes().size();
        const bool bOpen = AWork.IsSequenceOpen();
        const bool bRunning = AWork.IsUpdateRunning();
        AWork.DispatchFrame(strFrame);
        CheckAfter(AWork, strFrame, ABefore, bRunning);
        // The settings written answer closes an update: stage 5 and then the
        // whole update, both successful, while answers may still move it on.
        const std::vector<std::pair<int, int>> Results = CheckNotes(AWindow.GetNotes(), nNotes);
        if (strFrame.At(3) == kStages[4].btEndAnswer && strFrame.GetLength() >= 7 && bOpen && bWindow) {
            FUZZ_REQUIRE(Results.size() == 2);
            FUZZ_REQUIRE(Results[0] == std::make_pair(5, 0));
            FUZZ_REQUIRE(Results[1] == std::make_pair(6, 0));
        }
    }
    return 0;
}
