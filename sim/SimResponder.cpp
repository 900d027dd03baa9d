#include "SimResponder.h"

#include <algorithm>

#include "Command.h"
#include "Packet_ISP.h"
#include "Stages.h"

namespace {

// The host's status for a data record written is 2; for the blocks of the
// other stages and for the settings write it is 1.
constexpr std::uint8_t kRecordWritten = 0x02;
constexpr std::uint8_t kBlockWritten = 0x01;
// "parameters missing or wrong": a frame whose payload does not fit.
constexpr std::uint8_t kBadParameters = 0x07;

std::uint32_t ReadLittle32(std::span<const std::uint8_t> Bytes)
{
    return static_cast<std::uint32_t>(Bytes[0]) | static_cast<std::uint32_t>(Bytes[1]) << 8 |
           static_cast<std::uint32_t>(Bytes[2]) << 16 | static_cast<std::uint32_t>(Bytes[3]) << 24;
}

} // namespace

CSimResponder::CSimResponder(CSimOptions Options, CSimRecorder& ARecorder)
    : m_Options(std::move(Options)), m_Recorder(ARecorder), m_SettingsG(m_Options.SettingsG),
      m_uFirmwareVersion(m_Options.uFirmwareVersion), m_uDataVersion(m_Options.uDataVersion),
      m_uRadarVersion(m_Options.uRadarVersion), m_FailDone(m_Options.FailBlocks.size(), false)
{
}

CSimBytes CSimResponder::MakeFrame(std::uint8_t btCommand, std::span<const std::uint8_t> Payload)
{
    CPacket_ISP APacket;
    APacket.SetCommand(btCommand, Payload.empty() ? nullptr : Payload.data(),
                       static_cast<std::uint16_t>(Payload.size()));
    return CSimBytes(APacket.GetData(), APacket.GetData() + APacket.GetSize());
}

CSimBytes CSimResponder::MakeDeviceRequest() { return MakeFrame(Cmd::DeviceRequest); }

CSimReaction CSimResponder::React(std::span<const std::uint8_t> Frame)
{
    CSimReaction AReaction;
    if (Frame.size() < 5)
        return AReaction;
    const std::uint8_t btCommand = Frame[3];
    const std::span<const std::uint8_t> Payload = Frame.subspan(4, Frame.size() - 5);
    ++m_nFrames;
    ++m_CommandCounts[btCommand];
    if (m_Options.nStopAfter >= 0 && IsPastStop(btCommand))
        m_bStopped = true;

    if (IsAnswering()) {
        Answer(btCommand, Payload, AReaction);
        for (const CFramePoint& APoint : m_Options.DeviceRequests)
            if (IsReached(APoint, btCommand))
                AReaction.bDeviceRequest = true;
        for (const CUnsolicited& AFrame : m_Options.Unsolicited)
            if (IsReached(AFrame.At, btCommand))
                AReaction.Answers.push_back(MakeFrame(AFrame.btCommand));
    }
    // A device that stopped answering can still be unplugged.
    if (m_Options.nHangupAfter >= 0 &&
        IsReached({static_cast<std::uint32_t>(m_Options.nHangupAfter),
                   m_Options.nHangupCommand >= 0 ? std::optional(static_cast<std::uint8_t>(m_Options.nHangupCommand))
                                                 : std::nullopt},
                  btCommand))
        AReaction.bHangup = true;
    return AReaction;
}

bool CSimResponder::IsReached(const CFramePoint& APoint, std::uint8_t btCommand) const
{
    if (!APoint.Command)
        return m_nFrames == APoint.nCount;
    return btCommand == *APoint.Command && m_CommandCounts.at(btCommand) == APoint.nCount;
}

bool CSimResponder::IsPastStop(std::uint8_t btCommand) const
{
    const auto nLimit = static_cast<std::uint64_t>(m_Options.nStopAfter);
    if (m_Options.nStopCommand < 0)
        return m_nFrames > nLimit;
    return btCommand == m_Options.nStopCommand && m_CommandCounts.at(btCommand) > nLimit;
}

std::optional<std::uint8_t> CSimResponder::TakeFailure(std::uint8_t btDataCommand)
{
    const std::uint32_t nBlock = ++m_BlockCounts[btDataCommand];
    for (std::size_t i = 0; i < m_Options.FailBlocks.size(); ++i) {
        const CFailBlock& AFail = m_Options.FailBlocks[i];
        if (!m_FailDone[i] && AFail.btCommand == btDataCommand && AFail.nBlock == nBlock) {
            m_FailDone[i] = true;
            return AFail.btStatus;
        }
    }
    return std::nullopt;
}

CSimBytes CSimResponder::MakeInfoAnswer(std::span<const std::uint8_t> Payload)
{
    // The device names the request it answers and echoes the port number it
    // was sent; the versions go high byte first.
    const std::uint8_t btPort = Payload.empty() ? static_cast<std::uint8_t>(m_Options.nCom) : Payload[0];
    const std::uint8_t btInfo[] = {
        Cmd::InfoRequest, btPort,
        static_cast<std::uint8_t>(m_uFirmwareVersion >> 8), static_cast<std::uint8_t>(m_uFirmwareVersion),
        static_cast<std::uint8_t>(m_uDataVersion >> 8), static_cast<std::uint8_t>(m_uDataVersion),
        static_cast<std::uint8_t>(m_uRadarVersion >> 8), static_cast<std::uint8_t>(m_uRadarVersion)};
    const bool bFault = m_Options.eProbeFault != EProbeFault::None &&
                        (m_Options.nProbeFaultTimes == 0 || m_nProbeFaults < m_Options.nProbeFaultTimes);
    if (!bFault)
        return MakeFrame(Cmd::DeviceInfo, btInfo);
    ++m_nProbeFaults;
    if (m_Options.eProbeFault == EProbeFault::OtherCommand)
        return MakeFrame(m_Options.btProbeCommand, btInfo);
    CSimBytes Torn = MakeFrame(Cmd::DeviceInfo, btInfo);
    Torn.resize(4);
    return Torn;
}

void CSimResponder::Answer(std::uint8_t btCommand, std::span<const std::uint8_t> Payload, CSimReaction& AReaction)
{
    switch (btCommand) {
    case Cmd::InfoRequest:
        // The probe is answered; the answers after it may be lost.
        if (++m_nInfoSinceOpen > 1 &&
            (m_Options.nLoseInfo < 0 || m_nInfoSinceOpen - 1 <= static_cast<std::uint64_t>(m_Options.nLoseInfo)))
            break;
        AReaction.Answers.push_back(MakeInfoAnswer(Payload));
        break;
    case Cmd::ReadSettingsG:
    case Cmd::ReadSettingsI: {
        if (m_Options.bNoMenu)
            break;
        const CSimSettings& ASettings = btCommand == Cmd::ReadSettingsG ? m_SettingsG : m_Options.SettingsI;
        CSimBytes Reply(1 + ASettings.size());
        Reply[0] = btCommand;
        std::copy(ASettings.begin(), ASettings.end(), Reply.begin() + 1);
        AReaction.Answers.push_back(MakeFrame(Cmd::SettingsBlock, Reply));
        break;
    }
    default:
        AnswerStage(btCommand, Payload, AReaction);
        break;
    }
}

void CSimResponder::AnswerStage(std::uint8_t btCommand, std::span<const std::uint8_t> Payload,
                                CSimReaction& AReaction)
{
    auto Push = [&](std::uint8_t btAnswer, std::initializer_list<std::uint8_t> Bytes) {
        AReaction.Answers.push_back(MakeFrame(btAnswer, std::span(Bytes.begin(), Bytes.size())));
    };
    if (const CStage* pStart = FindStageBy(&CStage::btStart, btCommand)) {
        switch (pStart->eImage) {
        case EImage::Menu:
            if (Payload.size() != kSimSettingsSize) {
                Push(pStart->btEndAnswer, {btCommand, kBadParameters});
                return;
            }
            // The written menu is what the device reports from now on.
            std::copy(Payload.begin(), Payload.end(), m_SettingsG.begin());
            m_Recorder.WriteSettings(Payload);
            Push(pStart->btEndAnswer, {btCommand, kBlockWritten});
            return;
        case EImage::Project:
            if (Payload.size() >= 2)
                m_FirmwareSent = static_cast<std::uint16_t>(Payload[0] << 8 | Payload[1]);
            m_Recorder.BeginFirmware();
            if (m_Options.bAcceptProjectStart)
                Push(btCommand, {});
            break;
        case EImage::Radar:
            m_Recorder.BeginImage(ESimImage::Radar,
                                  Payload.size() >= 4 ? std::optional(ReadLittle32(Payload)) : std::nullopt);
            break;
        default: m_Recorder.BeginImage(ToSimImage(pStart->eImage)); break;
        }
        m_BlockCounts[pStart->btBlock] = 0;
        Push(pStart->btGoAhead, {});
    } else if (const CStage* pBlock = FindStageBy(&CStage::btBlock, btCommand)) {
        // The firmware's records are answered with the status answer, the
        // other stages' blocks with their own answer.
        if (const std::optional<std::uint8_t> btFail = TakeFailure(btCommand)) {
            Push(pBlock->btBlockAnswer, {btCommand, *btFail});
            return;
        }
        if (pBlock->eImage != EImage::Project) {
            m_Recorder.AppendImage(ToSimImage(pBlock->eImage), Payload);
            Push(pBlock->btBlockAnswer, {btCommand, kBlockWritten});
            return;
        }
        // Address (low byte first), length r, r data bytes: nothing else fits.
        if (Payload.size() < 5 || Payload.size() != Payload[4] + 5u) {
            Push(Cmd::Acknowledge, {btCommand, kBadParameters});
            return;
        }
        m_Recorder.WriteFirmware(ReadLittle32(Payload), Payload.subspan(5));
        Push(Cmd::Acknowledge, {btCommand, kRecordWritten});
    } else if (const CStage* pEnd = FindStageBy(&CStage::btEnd, btCommand)) {
        if (pEnd->eImage == EImage::EDog)
            m_uDataVersion = m_Options.DataVersionAfter.value_or(m_uDataVersion);
        else if (pEnd->eImage == EImage::Radar)
            m_uRadarVersion = m_Options.RadarVersionAfter.value_or(m_uRadarVersion);
        if (pEnd->eImage != EImage::Project) {
            m_Recorder.EndImage(ToSimImage(pEnd->eImage));
            return;
        }
        // Restarted into the new firmware, the device reports its version.
        m_uFirmwareVersion = m_Options.FirmwareVersionAfter.value_or(m_FirmwareSent.value_or(m_uFirmwareVersion));
        m_Recorder.EndFirmware();
        Push(Cmd::Acknowledge, {btCommand, kRecordWritten});
    }
    // The host's acknowledgement 0x0D and anything unknown: no answer.
}
