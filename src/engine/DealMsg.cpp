#include "DealMsg.h"

#include <cstdio>

#include "Command.h"
#include "DebugPrint.h"
#include "Packet_ISP.h"
#include "VersionFile.h"
#include "Work_BK.h"

namespace {

CWork_BK* Work() { return Singleton<CWork_BK>::GetInstance(); }

// Smallest frame that holds the offsets each answer is read at.
constexpr std::int32_t kStatusFrame = 7;          // [4] command, [5] status
constexpr std::int32_t kInfoFrame = 13;           // [4]..[11]
constexpr std::int32_t kSettingsFrame = 5 + 1 + 73; // [4] letter, [5..77]

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

std::wstring FormatVersion(std::uint8_t btHigh, std::uint8_t btLow)
{
    return ::FormatVersion(static_cast<std::uint16_t>(btHigh << 8 | btLow));
}

} // namespace

std::wstring CDealMsg::GetStatusText(std::uint8_t btStatus)
{
    static const wchar_t* const kTexts[] = {
        L"命令无效，请重试!\n", L"Flash 硬件忙!\n", L"Flash 读保护!\n", L"Flash 写保护!\n",
        L"参数不足或错误!\n", L"目标地址边界错误!\n", L"源地址边界错误!\n",
    };
    const std::uint8_t btIndex = static_cast<std::uint8_t>(btStatus - 3);
    SetSecondValue(0);
    return btIndex <= 6 ? kTexts[btIndex] : L"MCU 参数错误!\n";
}

// ---------------------------------------------------------------- replies

void CDealMsg::DispatchReply(const CRawString& strFrame)
{
    CWork_BK* pWork = Work();
    const std::uint8_t btCommand = strFrame.At(3);
    DebugPrint(L"cmd == %x\r\n", btCommand);
    if (pWork == nullptr)
        return;
    switch (btCommand) {
    case Cmd::Acknowledge:
        if (!IsShort(strFrame, kStatusFrame))
            DispatchStatus(strFrame);
        return;
    case Cmd::DeviceInfo:
        if (!IsShort(strFrame, kInfoFrame))
            DispatchDeviceInfo(strFrame);
        return;
    case Cmd::DeviceRequest:
        pWork->ClearTasks();
        SendAck();
        return;
    case Cmd::SettingsBlock:
        if (IsShort(strFrame, kSettingsFrame))
            return;
        pWork->OnAnswer(strFrame.At(4));
        // Once an update runs, block G holds the menu it writes: a late
        // answer to an earlier read must not put the device's old menu in
        // place of the driver's edit.
        if (!pWork->IsUpdateRunning())
            StoreSettingsReply(strFrame);
        pWork->NotifySettingsRead();
        return;
    default: break;
    }
    if (const CStage* pStage = FindStageBy(&CStage::btGoAhead, btCommand)) {
        DispatchGoAhead(*pStage);
    } else if (const CStage* pAccepted = FindStageBy(&CStage::btStart, btCommand); pAccepted && pAccepted->nStage == 1) {
        // The device accepts the firmware's start before its go-ahead.
        pWork->ClearTasks();
    } else if (const CStage* pBlock = FindStageBy(&CStage::btBlockAnswer, btCommand)) {
        if (!IsShort(strFrame, kStatusFrame))
            DispatchBlockAnswer(*pBlock, strFrame.At(4), strFrame.At(5));
    } else if (const CStage* pEnd = FindStageBy(&CStage::btEndAnswer, btCommand)) {
        // The device menu written: its stage and the whole update end.
        if (IsShort(strFrame, kStatusFrame))
            return;
        pWork->OnAnswer(strFrame.At(4));
        if (!pWork->IsSequenceOpen())
            return;
        pWork->SetStage(pEnd->nStage);
        pWork->NotifyStageResult(0);
        pWork->GetSequence().Finish();
    }
    // 0x13 and commands outside the table: nothing to do.
}

void CDealMsg::DispatchBlockAnswer(const CStage& AStage, std::uint8_t btAnswered, std::uint8_t btStatus)
{
    CWork_BK* pWork = Work();
    // The radar part's answers count whatever their status, except the
    // device's own flash failures: a block answered with one of those was
    // not written, and counting it would report a radar firmware with a
    // hole in it as updated.
    const bool bWritten = AStage.eBlockOk == EBlockOk::Status2           ? btStatus == 2
                        : AStage.eBlockOk == EBlockOk::Status1           ? btStatus == 1
                                                                          : !IsFlashFailure(btStatus);
    if (!bWritten) {
        pWork->GetSequence().NoteStatus(btAnswered, btStatus);
        return;
    }
    pWork->OnAnswer(btAnswered);
    pWork->NotifyProgress();
}

void CDealMsg::DispatchStatus(const CRawString& strFrame)
{
    CWork_BK* pWork = Work();
    const std::uint8_t btAnswered = strFrame.At(4);
    const std::uint8_t btStatus = strFrame.At(5);
    if (btAnswered == Cmd::ReadSettingsG || btAnswered == Cmd::ReadSettingsI) {
        pWork->OnAnswer(btAnswered);
    } else if (const CStage* pBlock = FindStageBy(&CStage::btBlock, btAnswered);
               pBlock && pBlock->btBlockAnswer == Cmd::Acknowledge) {
        DispatchBlockAnswer(*pBlock, btAnswered, btStatus);
    } else if (const CStage* pEnd = FindStageBy(&CStage::btEnd, btAnswered)) {
        pWork->OnAnswer(btAnswered);
        // The firmware's end is answered whatever its status; the stages
        // that end when their end is written have ended already.
        if (pEnd->bEndsWhenWritten || !pWork->IsSequenceOpen())
            return;
        pWork->NotifyStageResult(0);
        pWork->GetSequence().OnProjectEnded();
    }
}

void CDealMsg::DispatchDeviceInfo(const CRawString& strFrame)
{
    CWork_BK* pWork = Work();
    DebugPrint(L"Port Num == %d\r\n", strFrame.At(5));
    // All three in the notation of the update files' versions, so that the
    // device's version and the file's read alike.
    pWork->SetDeviceVersions(FormatVersion(strFrame.At(6), strFrame.At(7)),
                             FormatVersion(strFrame.At(8), strFrame.At(9)),
                             FormatVersion(strFrame.At(10), strFrame.At(11)));
    pWork->OnAnswer(strFrame.At(4));
    pWork->OnDeviceInfo();
    SendReadSettings();
    SendReadSettingsI();
}

void CDealMsg::DispatchGoAhead(const CStage& AStage)
{
    CWork_BK* pWork = Work();
    pWork->ClearTasks();
    if (!pWork->IsSequenceOpen()) {
        DebugPrint(L"go-ahead for stage %d while no update runs: ignored\r\n", static_cast<int>(AStage.nStage));
        return;
    }
    pWork->SetStage(AStage.nStage);
    pWork->NotifyStageStart();
    pWork->RequestStage(AStage.nStage);
}

void CDealMsg::StoreSettingsReply(const CRawString& strFrame)
{
    CWork_BK* pWork = Work();
    if (pWork == nullptr || strFrame.GetLength() < kSettingsFrame)
        return;
    const std::uint8_t* pBlock = strFrame.GetData() + 5;
    if (strFrame.At(4) == Cmd::ReadSettingsG)
        pWork->SetSettingsG(pBlock);
    else if (strFrame.At(4) == Cmd::ReadSettingsI)
        pWork->SetSettingsI(pBlock);
}

// ---------------------------------------------------------------- commands

void CDealMsg::Queue(std::uint8_t btCommand, const std::uint8_t* pPayload, std::uint16_t uLen)
{
    CWork_BK* pWork = Work();
    if (pWork == nullptr)
        return;
    CPacket_ISP APacket;
    APacket.SetCommand(btCommand, pPayload, uLen);
    pWork->AddTask(APacket);
}

void CDealMsg::SendInfoRequest(std::uint8_t btPort) { Queue(Cmd::InfoRequest, &btPort, 1); }

void CDealMsg::SendAck()
{
    const std::uint8_t btPayload[2] = {Cmd::DeviceRequest, 0x02};
    Queue(Cmd::Acknowledge, btPayload, 2);
}

void CDealMsg::SendStageStart(const CStage& AStage)
{
    CWork_BK* pWork = Work();
    if (pWork == nullptr)
        return;
    CPayload Payload;
    if (AStage.eImage == EImage::Menu) {
        // Settings block G, as the window handed it over.
        Payload.resize(kSettingsSize);
        pWork->GetSettingsG(Payload.data());
    } else {
        Payload = pWork->GetImages().GetStartPayload(AStage.eImage);
    }
    Queue(AStage.btStart, Payload.data(), static_cast<std::uint16_t>(Payload.size()));
}

void CDealMsg::SendStageEnd(const CStage& AStage) { Queue(AStage.btEnd); }

int CDealMsg::SendStagePackets(const CStage& AStage)
{
    // A data frame per record or block of the image, then the end command.
    CWork_BK* pWork = Work();
    if (pWork == nullptr || AStage.eImage == EImage::Menu)
        return 0;
    const CUpdateImages& AImages = pWork->GetImages();
    const std::vector<CPayload> Payloads = AImages.GetPayloads(AStage.eImage);
    DebugPrint(L"%ls PacketNum is:%ld\r\n", AStage.wzTraceName, static_cast<long>(AImages.GetCount(AStage.eImage)));
    if (Payloads.empty())
        return 0;
    for (const CPayload& Payload : Payloads)
        Queue(AStage.btBlock, Payload.data(), static_cast<std::uint16_t>(Payload.size()));
    SendStageEnd(AStage);
    return 1;
}

void CDealMsg::SendProjectStart() { SendStageStart(kStages[0]); }
void CDealMsg::SendProjectEnd() { SendStageEnd(kStages[0]); }
void CDealMsg::SendEDogStart() { SendStageStart(kStages[1]); }
void CDealMsg::SendEDogEnd() { SendStageEnd(kStages[1]); }
void CDealMsg::SendMusicStart() { SendStageStart(kStages[2]); }
void CDealMsg::SendMusicEnd() { SendStageEnd(kStages[2]); }
void CDealMsg::SendRadarStart() { SendStageStart(kStages[3]); }
void CDealMsg::SendRadarEnd() { SendStageEnd(kStages[3]); }
void CDealMsg::SendWriteSettings() { SendStageStart(kStages[4]); }
void CDealMsg::SendReadSettings() { Queue(Cmd::ReadSettingsG); }
void CDealMsg::SendReadSettingsI() { Queue(Cmd::ReadSettingsI); }
int CDealMsg::SendProjectPackets() { return SendStagePackets(kStages[0]); }
int CDealMsg::SendEDogPackets() { return SendStagePackets(kStages[1]); }
int CDealMsg::SendMusicPackets() { return SendStagePackets(kStages[2]); }
int CDealMsg::SendRadarPackets() { return SendStagePackets(kStages[3]); }
