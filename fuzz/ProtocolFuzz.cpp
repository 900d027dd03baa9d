// The update protocol driven by random events: frames of every kind the
// device may send (and arbitrary bytes), writes that fail, jumps of the
// clock, starts, menus handed over, connections, disconnections and lost
// ports, over images whose sizes and damage the input chooses. Whatever
// happens, the protocol keeps its promises:
// - never more than one frame in flight: each answer of the protocol asks
//   for one write at most before it hears how that write went;
// - nothing of an update is sent after its end until the next start;
// - nothing of a damaged image is ever sent;
// - the stages only rise within an update;
// - exactly one final result for every update started (but one a
//   disconnection ended, which has no window left to tell);
// - the progress never exceeds its stage's total.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "Command.h"
#include "DealMsg.h"
#include "FuzzCheck.h"
#include "NotifyWindow.h"
#include "Packet_ISP.h"
#include "Stages.h"
#include "UpdateProtocol.h"

namespace {

// Images the input sizes and damages.
class CFuzzImages final : public CImageSource {
public:
    std::array<std::uint32_t, 4> Totals{};
    std::array<bool, 4> Damaged{};

    std::uint32_t GetTotal(EImage eImage) const override { return Index(eImage) < 4 ? Totals[Index(eImage)] : 0; }
    bool FindDamage(EImage eImage, CLoadFault& AFault) const override
    {
        AFault = {};
        return Index(eImage) < 4 && Damaged[Index(eImage)];
    }
    std::uint16_t GetFirmwareVersion() const override { return 0x0102; }
    CPayload GetStartPayload(EImage eImage) const override { return eImage == EImage::Radar ? CPayload(4, 1) : CPayload{}; }
    CPayload GetPayload(EImage eImage, std::uint32_t nIndex) const override
    {
        return nIndex < GetTotal(eImage) ? CPayload(8, static_cast<std::uint8_t>(nIndex)) : CPayload{};
    }

private:
    static std::size_t Index(EImage eImage) { return static_cast<std::size_t>(eImage); }
};

// The commands the device sends, in the order the inputs pick them by.
constexpr std::uint8_t kDeviceCommands[] = {
    Cmd::Acknowledge,         Cmd::NoAction,            Cmd::DeviceInfo,          kStages[0].btGoAhead,
    kStages[0].btStart,       Cmd::DeviceRequest,       kStages[1].btGoAhead,     kStages[1].btBlockAnswer,
    kStages[2].btGoAhead,     kStages[2].btBlockAnswer, kStages[3].btGoAhead,     kStages[3].btBlockAnswer,
    Cmd::SettingsBlock,       kStages[4].btEndAnswer};

// What the program around the protocol would be told, checked as it comes.
class CWatch {
public:
    explicit CWatch(const CFuzzImages& AImages) : m_Images(AImages) {}

    void Take(CUpdateProtocol& ACore, CMillis tNow, bool& bFailNextWrite)
    {
        std::vector<CProtocolAction> Actions = ACore.TakeActions();
        while (!Actions.empty()) {
            FUZZ_REQUIRE(std::count_if(Actions.begin(), Actions.end(), [](const CProtocolAction& A) {
                             return A.eKind == CProtocolAction::EKind::Write;
                         }) <= 1);
            std::vector<CProtocolAction> More;
            for (const CProtocolAction& AAction : Actions) {
                if (AAction.eKind == CProtocolAction::EKind::Notify)
                    OnNotify(AAction);
                if (AAction.eKind != CProtocolAction::EKind::Write)
                    continue;
                FUZZ_REQUIRE(AAction.Frame.size() >= CPacket_ISP::kOverhead);
                const std::uint8_t btCommand = AAction.Frame[3];
                OnWrite(btCommand);
                ACore.OnWritten(btCommand, !bFailNextWrite, tNow);
                bFailNextWrite = false;
                std::vector<CProtocolAction> After = ACore.TakeActions();
                More.insert(More.end(), After.begin(), After.end());
            }
            Actions = std::move(More);
        }
    }

    // A start is asked for: what it notifies belongs to it (a refusal's
    // failure too).
    void BeforeStart()
    {
        m_bWasOpen = m_bOpen;
        m_nFinalsBefore = m_nFinals;
        if (!m_bOpen) {
            m_bOpen = true;
            m_nLastStage = 0;
        }
    }
    void AfterStart(EStartResult eResult)
    {
        const bool bAnyDamaged = std::any_of(m_Images.Damaged.begin(), m_Images.Damaged.end(), [](bool b) { return b; });
        switch (eResult) {
        case EStartResult::Started: FUZZ_REQUIRE(!m_bWasOpen && !bAnyDamaged); break;
        case EStartResult::Refused: FUZZ_REQUIRE(!m_bWasOpen && bAnyDamaged && m_nFinals == m_nFinalsBefore + 1); break;
        case EStartResult::Running: FUZZ_REQUIRE(m_bWasOpen); break;
        case EStartResult::NothingToDo:
        case EStartResult::NotConnected:
            FUZZ_REQUIRE(!m_bWasOpen && m_nFinals == m_nFinalsBefore);
            m_bOpen = false;
            break;
        }
    }
    // A disconnection ends an update without a word.
    void OnDisconnect() { m_bOpen = false; }
    bool IsOpen() const { return m_bOpen; }

private:
    void OnNotify(const CProtocolAction& A)
    {
        switch (A.uMessage) {
        case WM_STAGE_START:
            FUZZ_REQUIRE(A.wParam >= 1 && A.wParam <= 5);
            OnStage(static_cast<int>(A.wParam));
            break;
        case WM_PROGRESS: FUZZ_REQUIRE(A.lParam >= 1 && static_cast<std::uintptr_t>(A.lParam) <= A.wParam); break;
        case WM_STAGE_RESULT:
            FUZZ_REQUIRE(A.wParam >= 1 && A.wParam <= 6 && (A.lParam == 0 || A.lParam == 1));
            if (A.wParam == 6) {
                ++m_nFinals;
                m_bOpen = false;
            } else {
                OnStage(static_cast<int>(A.wParam));
            }
            break;
        case WM_DEVICE_READY:
        case WM_SETTINGS_READ:
        case WM_DEVICE_LOST:
        case WM_DEVICE_REREAD: break;
        default: FUZZ_REQUIRE(!"unknown notification");
        }
    }
    void OnStage(int nStage)
    {
        FUZZ_REQUIRE(m_bOpen);
        FUZZ_REQUIRE(nStage >= m_nLastStage);
        m_nLastStage = nStage;
    }
    void OnWrite(std::uint8_t btCommand)
    {
        const std::int32_t nStage = GetStageOfHostCommand(btCommand);
        if (nStage == 0)
            return;
        FUZZ_REQUIRE(m_bOpen);
        const CStage& AStage = *FindStage(nStage);
        if (AStage.eImage != EImage::Menu)
            FUZZ_REQUIRE(!m_Images.Damaged[static_cast<std::size_t>(AStage.eImage)]);
    }

    const CFuzzImages& m_Images;
    bool m_bOpen = false;
    bool m_bWasOpen = false;
    std::size_t m_nFinalsBefore = 0;
    int m_nLastStage = 0;
    std::size_t m_nFinals = 0;
};

CRawString MakeFrame(std::uint8_t btCommand, const std::vector<std::uint8_t>& Payload)
{
    CPacket_ISP APacket;
    APacket.SetCommand(btCommand, Payload.empty() ? nullptr : Payload.data(), static_cast<std::uint16_t>(Payload.size()));
    return CRawString(APacket.GetData(), APacket.GetSize());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    FuzzedDataProvider AInput(pData, nSize);
    CFuzzImages AImages;
    for (std::size_t i = 0; i < 4; ++i) {
        AImages.Totals[i] = AInput.ConsumeIntegralInRange<std::uint32_t>(0, 6);
        AImages.Damaged[i] = AInput.ConsumeIntegralInRange<int>(0, 15) == 0;
    }
    CProtocolTimes ATimes;
    ATimes.tFirmwarePause = CMillis(AInput.ConsumeIntegralInRange<int>(0, 3) * 5000);
    CUpdateProtocol ACore(AImages, ATimes);
    const CDealMsg ADeal;
    CWatch AWatch(AImages);
    CMillis tNow{0};
    bool bFailNextWrite = false;

    while (AInput.remaining_bytes() > 0) {
        const std::uint8_t btOp = AInput.ConsumeIntegral<std::uint8_t>();
        switch (btOp % 16) {
        case 0: {
            AWatch.BeforeStart();
            const EStartResult eResult = ACore.StartUpdate(tNow);
            AWatch.Take(ACore, tNow, bFailNextWrite);
            AWatch.AfterStart(eResult);
            continue;
        }
        case 1: {
            CSettingsBlock AMenu{};
            AMenu[AInput.ConsumeIntegralInRange<std::size_t>(0, kSettingsSize - 1)] = AInput.ConsumeIntegral<std::uint8_t>();
            ACore.HandOverMenu(AMenu);
            continue;
        }
        case 2:
            // A new connection forgets the last, as a disconnection does.
            ACore.Connect(AInput.ConsumeIntegralInRange<std::uint8_t>(1, 255), tNow);
            AWatch.OnDisconnect();
            break;
        case 3:
            ACore.Disconnect();
            AWatch.OnDisconnect();
            break;
        case 4: ACore.OnPortLost(tNow); break;
        case 5:
            tNow += CMillis(AInput.ConsumeIntegralInRange<int>(0, 40000));
            ACore.OnTime(tNow);
            break;
        case 6: bFailNextWrite = true; continue;
        case 7: {
            // Not a frame at all: the decoder must not trust the length.
            const std::vector<std::uint8_t> Raw =
                AInput.ConsumeBytes<std::uint8_t>(AInput.ConsumeIntegralInRange<std::size_t>(0, 300));
            ACore.OnReply(ADeal.Decode(CRawString(Raw.data(), static_cast<std::int32_t>(Raw.size()))), tNow);
            break;
        }
        default: {
            const std::uint8_t btCommand = (btOp & 0x80) != 0 ? kDeviceCommands[btOp % std::size(kDeviceCommands)]
                                                              : AInput.ConsumeIntegral<std::uint8_t>();
            const std::vector<std::uint8_t> Payload =
                AInput.ConsumeBytes<std::uint8_t>(AInput.ConsumeIntegralInRange<std::size_t>(0, 80));
            ACore.OnReply(ADeal.Decode(MakeFrame(btCommand, Payload)), tNow);
            break;
        }
        }
        AWatch.Take(ACore, tNow, bFailNextWrite);
        FUZZ_REQUIRE(ACore.GetDoneCount() <= ACore.GetStageTotal());
    }
    // Given time, every update started comes to its one result (a restart
    // pause, then a start nobody answers, then its stall).
    for (int i = 0; i < 3; ++i) {
        tNow += CMillis(3600000);
        ACore.OnTime(tNow);
        AWatch.Take(ACore, tNow, bFailNextWrite);
    }
    FUZZ_REQUIRE(!AWatch.IsOpen());
    return 0;
}
