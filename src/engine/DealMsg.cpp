#include "DealMsg.h"

#include <algorithm>

#include "Command.h"
#include "DebugPrint.h"
#include "VersionFile.h"

namespace {

// Smallest frame that holds the offsets each answer is read at.
constexpr std::int32_t kStatusFrame = 7;                       // [4] command, [5] status
constexpr std::int32_t kInfoFrame = 13;                        // [4]..[11]
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

CReply Make(CReply::EKind eKind, const CStage* pStage = nullptr, std::uint8_t btAnswered = 0,
            std::uint8_t btStatus = 0)
{
    CReply AReply;
    AReply.eKind = eKind;
    AReply.pStage = pStage;
    AReply.btAnswered = btAnswered;
    AReply.btStatus = btStatus;
    AReply.bWritten = eKind == CReply::EKind::BlockAnswer && IsWritten(*pStage, btStatus);
    return AReply;
}

// A status answer 0x0D: what it answers decides what it means.
CReply DecodeStatus(std::uint8_t btAnswered, std::uint8_t btStatus)
{
    if (Cmd::IsSettingsRead(btAnswered))
        return Make(CReply::EKind::SettingsRefused, nullptr, btAnswered, btStatus);
    if (const CStage* pBlock = FindStageBy(&CStage::btBlock, btAnswered);
        pBlock && pBlock->btBlockAnswer == Cmd::Acknowledge)
        return Make(CReply::EKind::BlockAnswer, pBlock, btAnswered, btStatus);
    if (const CStage* pEnd = FindStageBy(&CStage::btEnd, btAnswered))
        return Make(CReply::EKind::EndAnswered, pEnd, btAnswered, btStatus);
    return {};
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

CReply CDealMsg::Decode(const CRawString& strFrame) const
{
    const std::uint8_t btCommand = strFrame.At(3);
    DebugPrint(L"cmd == %x\r\n", btCommand);
    switch (btCommand) {
    case Cmd::Acknowledge:
        return IsShort(strFrame, kStatusFrame) ? CReply{} : DecodeStatus(strFrame.At(4), strFrame.At(5));
    case Cmd::DeviceInfo: {
        if (IsShort(strFrame, kInfoFrame))
            return {};
        DebugPrint(L"Port Num == %d\r\n", strFrame.At(5));
        CReply AReply = Make(CReply::EKind::DeviceInfo);
        AReply.btPort = strFrame.At(5);
        AReply.Versions = {VersionAt(strFrame, 6), VersionAt(strFrame, 8), VersionAt(strFrame, 10)};
        return AReply;
    }
    case Cmd::DeviceRequest: return Make(CReply::EKind::DeviceRequest);
    case Cmd::SettingsBlock: {
        if (IsShort(strFrame, kSettingsFrame))
            return {};
        CReply AReply = Make(CReply::EKind::SettingsBlock, nullptr, strFrame.At(4));
        std::copy_n(strFrame.GetData() + 5, kSettingsSize, AReply.Block.begin());
        return AReply;
    }
    default: break;
    }
    if (const CStage* pStage = FindStageBy(&CStage::btGoAhead, btCommand))
        return Make(CReply::EKind::GoAhead, pStage);
    if (const CStage* pAccepted = FindStageBy(&CStage::btStart, btCommand); pAccepted && pAccepted->nStage == 1)
        return Make(CReply::EKind::StartAccepted, pAccepted);
    if (const CStage* pBlock = FindStageBy(&CStage::btBlockAnswer, btCommand))
        return IsShort(strFrame, kStatusFrame) ? CReply{}
                                               : Make(CReply::EKind::BlockAnswer, pBlock, strFrame.At(4), strFrame.At(5));
    if (const CStage* pEnd = FindStageBy(&CStage::btEndAnswer, btCommand))
        return IsShort(strFrame, kStatusFrame) ? CReply{} : Make(CReply::EKind::EndAnswered, pEnd, strFrame.At(4));
    // 0x13 and commands outside the table: nothing to do.
    return {};
}
