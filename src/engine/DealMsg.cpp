#include "DealMsg.h"

#include "Command.h"
#include "DebugPrint.h"
#include "VersionFile.h"

namespace {

// Smallest frame that holds the offsets each answer is read at.
constexpr std::int32_t kStatusFrame = 7;                     // [4] command, [5] status
constexpr std::int32_t kInfoFrame = 13;                      // [4]..[11]
constexpr std::int32_t kSettingsFrame = 5 + 1 + kSettingsSize; // [4] letter, [5..77]

bool IsShort(const CRawString& strFrame, std::int32_t nNeeded)
{
    if (strFrame.GetLength() >= nNeeded)
        return false;
    DebugPrint(L"cmd %02x ignored: %d bytes, %d needed\r\n", strFrame.At(3),
               static_cast<int>(strFrame.GetLength()), static_cast<int>(nNeeded));
    return true;
}

// The statuses the device names as failures of its flash programming
// (GetStatusText's own texts, 3 to 9).
bool IsFlashFailure(std::uint8_t btStatus) { return btStatus >= 3 && btStatus <= 9; }

// Whether the block a status answers was written, by its stage's rule. The
// radar part's answers count whatever their status, except the device's own
// flash failures: a block answered with one of those was not written, and
// counting it would report a radar firmware with a hole in it as updated.
bool IsWritten(const CStage& AStage, std::uint8_t btStatus)
{
    switch (AStage.eBlockOk) {
    case EBlockOk::Status2: return btStatus == 2;
    case EBlockOk::Status1: return btStatus == 1;
    case EBlockOk::NotFlashFailure: break;
    }
    return !IsFlashFailure(btStatus);
}

std::wstring VersionAt(const CRawString& strFrame, std::int32_t nOffset)
{
    return FormatVersion(static_cast<std::uint16_t>(strFrame.At(nOffset) << 8 | strFrame.At(nOffset + 1)));
}

void Queue(CCommandQueue& AQueue, std::uint8_t btCommand, std::span<const std::uint8_t> Payload = {})
{
    AQueue.QueueFrame(btCommand, Payload);
}

} // namespace

std::wstring CDealMsg::GetStatusText(std::uint8_t btStatus)
{
    static const wchar_t* const kTexts[] = {
        L"命令无效，请重试!\n", L"Flash 硬件忙!\n", L"Flash 读保护!\n", L"Flash 写保护!\n",
        L"参数不足或错误!\n", L"目标地址边界错误!\n", L"源地址边界错误!\n",
    };
    const auto btIndex = static_cast<std::uint8_t>(btStatus - 3);
    return btIndex <= 6 ? kTexts[btIndex] : L"MCU 参数错误!\n";
}

// ---------------------------------------------------------------- replies

void CDealMsg::DispatchReply(const CRawString& strFrame, CReplyListener& AListener) const
{
    const std::uint8_t btCommand = strFrame.At(3);
    DebugPrint(L"cmd == %x\r\n", btCommand);
    switch (btCommand) {
    case Cmd::Acknowledge:
        if (!IsShort(strFrame, kStatusFrame))
            DispatchStatus(strFrame.At(4), strFrame.At(5), AListener);
        return;
    case Cmd::DeviceInfo:
        if (IsShort(strFrame, kInfoFrame))
            return;
        DebugPrint(L"Port Num == %d\r\n", strFrame.At(5));
        AListener.OnDeviceInfo(strFrame.At(5), {VersionAt(strFrame, 6), VersionAt(strFrame, 8), VersionAt(strFrame, 10)});
        return;
    case Cmd::DeviceRequest: AListener.OnDeviceRequest(); return;
    case Cmd::SettingsBlock:
        if (!IsShort(strFrame, kSettingsFrame))
            AListener.OnSettingsBlock(strFrame.At(4), std::span<const std::uint8_t, kSettingsSize>(
                                                          strFrame.GetData() + 5, kSettingsSize));
        return;
    default: break;
    }
    if (const CStage* pStage = FindStageBy(&CStage::btGoAhead, btCommand)) {
        AListener.OnGoAhead(*pStage);
    } else if (const CStage* pAccepted = FindStageBy(&CStage::btStart, btCommand); pAccepted && pAccepted->nStage == 1) {
        AListener.OnStartAccepted(*pAccepted);
    } else if (const CStage* pBlock = FindStageBy(&CStage::btBlockAnswer, btCommand)) {
        if (!IsShort(strFrame, kStatusFrame))
            AListener.OnBlockAnswer(*pBlock, strFrame.At(4), strFrame.At(5), IsWritten(*pBlock, strFrame.At(5)));
    } else if (const CStage* pEnd = FindStageBy(&CStage::btEndAnswer, btCommand)) {
        if (!IsShort(strFrame, kStatusFrame))
            AListener.OnEndAnswered(*pEnd, strFrame.At(4));
    }
    // 0x13 and commands outside the table: nothing to do.
}

void CDealMsg::DispatchStatus(std::uint8_t btAnswered, std::uint8_t btStatus, CReplyListener& AListener)
{
    if (Cmd::IsSettingsRead(btAnswered)) {
        AListener.OnSettingsRefused(btAnswered);
    } else if (const CStage* pBlock = FindStageBy(&CStage::btBlock, btAnswered);
               pBlock && pBlock->btBlockAnswer == Cmd::Acknowledge) {
        AListener.OnBlockAnswer(*pBlock, btAnswered, btStatus, IsWritten(*pBlock, btStatus));
    } else if (const CStage* pEnd = FindStageBy(&CStage::btEnd, btAnswered)) {
        AListener.OnEndAnswered(*pEnd, btAnswered);
    }
}

// ---------------------------------------------------------------- commands

void CDealMsg::SendInfoRequest(CCommandQueue& AQueue, std::uint8_t btPort)
{
    Queue(AQueue, Cmd::InfoRequest, std::span(&btPort, 1));
}

void CDealMsg::SendAck(CCommandQueue& AQueue)
{
    const std::uint8_t btPayload[2] = {Cmd::DeviceRequest, 0x02};
    Queue(AQueue, Cmd::Acknowledge, btPayload);
}

void CDealMsg::SendReadSettings(CCommandQueue& AQueue) { Queue(AQueue, Cmd::ReadSettingsG); }
void CDealMsg::SendReadSettingsI(CCommandQueue& AQueue) { Queue(AQueue, Cmd::ReadSettingsI); }
