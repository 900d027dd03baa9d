#include "DealMsg.h"

#include <cstdio>

#include "Command.h"
#include "DebugPrint.h"
#include "Packet_ISP.h"
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
    wchar_t wzBuf[16] = {};
    std::swprintf(wzBuf, 16, L"%04x", btHigh * 256 + btLow);
    return wzBuf;
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
        break;
    case Cmd::DeviceInfo:
        if (!IsShort(strFrame, kInfoFrame))
            DispatchDeviceInfo(strFrame);
        break;
    case Cmd::ProjectGoAhead: DispatchGoAhead(1); break;
    case Cmd::ProjectStart: pWork->ClearTasks(); break;
    case Cmd::DeviceRequest:
        pWork->ClearTasks();
        SendAck();
        break;
    case Cmd::EDogGoAhead: DispatchGoAhead(2); break;
    case Cmd::MusicGoAhead: DispatchGoAhead(3); break;
    case Cmd::RadarGoAhead: DispatchGoAhead(4); break;
    case Cmd::EDogBlockAnswer:
    case Cmd::MusicBlockAnswer:
        if (IsShort(strFrame, kStatusFrame))
            break;
        if (strFrame.At(5) == 1) {
            pWork->OnAnswer(strFrame.At(4));
            pWork->NotifyProgress();
        } else {
            pWork->NoteStatus(strFrame.At(4), strFrame.At(5));
        }
        break;
    case Cmd::RadarBlockAnswer:
        if (IsShort(strFrame, kStatusFrame))
            break;
        // The radar part's answers count whatever their status, except the
        // device's own flash failures: a block answered with one of those
        // was not written, and counting it would report a radar firmware
        // with a hole in it as updated.
        if (IsFlashFailure(strFrame.At(5))) {
            pWork->NoteStatus(strFrame.At(4), strFrame.At(5));
            break;
        }
        pWork->OnAnswer(strFrame.At(4));
        pWork->NotifyProgress();
        break;
    case Cmd::SettingsBlock:
        if (IsShort(strFrame, kSettingsFrame))
            break;
        pWork->OnAnswer(strFrame.At(4));
        StoreSettingsReply(strFrame);
        pWork->NotifySettingsRead();
        break;
    case Cmd::SettingsWritten:
        if (IsShort(strFrame, kStatusFrame))
            break;
        pWork->OnAnswer(strFrame.At(4));
        if (!pWork->IsSequenceOpen())
            break;
        pWork->SetStage(5);
        pWork->NotifyStageResult(0);
        pWork->SetStage(6);
        pWork->NotifyStageResult(0);
        break;
    default:
        break;  // 0x13 and commands outside the table: nothing to do
    }
}

void CDealMsg::DispatchStatus(const CRawString& strFrame)
{
    CWork_BK* pWork = Work();
    const std::uint8_t btAnswered = strFrame.At(4);
    const std::uint8_t btStatus = strFrame.At(5);
    switch (btAnswered) {
    case Cmd::DataRecord:
        if (btStatus == 2) {
            pWork->OnAnswer(Cmd::DataRecord);
            pWork->NotifyProgress();
        } else {
            pWork->NoteStatus(btAnswered, btStatus);
        }
        break;
    case Cmd::ProjectEnd:
        pWork->OnAnswer(Cmd::ProjectEnd);
        if (!pWork->IsSequenceOpen())
            break;
        pWork->NotifyStageResult(0);
        pWork->OnProjectEnded();
        break;
    case Cmd::EDogEnd:
    case Cmd::ReadSettingsG:
    case Cmd::ReadSettingsI:
        pWork->OnAnswer(btAnswered);
        break;
    default:
        break;
    }
}

void CDealMsg::DispatchDeviceInfo(const CRawString& strFrame)
{
    CWork_BK* pWork = Work();
    DebugPrint(L"Port Num == %d\r\n", strFrame.At(5));
    // All three in the notation of the update files' versions (the HEX
    // trailer's four hexadecimal digits, ver.txt), so that the device's
    // version and the file's read alike: 0x0102 is "0102", not "0258".
    pWork->SetDeviceVersions(FormatVersion(strFrame.At(6), strFrame.At(7)),
                             FormatVersion(strFrame.At(8), strFrame.At(9)),
                             FormatVersion(strFrame.At(10), strFrame.At(11)));
    pWork->OnAnswer(strFrame.At(4));
    pWork->OnDeviceInfo();
    SendReadSettings();
    SendReadSettingsI();
}

void CDealMsg::DispatchGoAhead(int nStage)
{
    CWork_BK* pWork = Work();
    pWork->ClearTasks();
    if (!pWork->IsSequenceOpen()) {
        DebugPrint(L"go-ahead for stage %d while no update runs: ignored\r\n", nStage);
        return;
    }
    pWork->SetStage(nStage);
    pWork->NotifyStageStart();
    pWork->RequestStage(nStage);
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

void CDealMsg::SendProjectStart()
{
    CWork_BK* pWork = Work();
    if (pWork == nullptr)
        return;
    std::uint16_t uVersion = 0;
    {
        const auto ALock = pWork->LockImages();
        uVersion = pWork->GetProject().GetHexVer();
    }
    const std::uint8_t btPayload[2] = {static_cast<std::uint8_t>(uVersion >> 8),
                                       static_cast<std::uint8_t>(uVersion & 0xFF)};
    Queue(Cmd::ProjectStart, btPayload, 2);
}

void CDealMsg::SendProjectEnd() { Queue(Cmd::ProjectEnd); }
void CDealMsg::SendEDogStart() { Queue(Cmd::EDogStart); }
void CDealMsg::SendEDogEnd() { Queue(Cmd::EDogEnd); }
void CDealMsg::SendMusicStart() { Queue(Cmd::MusicStart); }
void CDealMsg::SendMusicEnd() { Queue(Cmd::MusicEnd); }
void CDealMsg::SendRadarEnd() { Queue(Cmd::RadarEnd); }
void CDealMsg::SendReadSettings() { Queue(Cmd::ReadSettingsG); }
void CDealMsg::SendReadSettingsI() { Queue(Cmd::ReadSettingsI); }

void CDealMsg::SendRadarStart()
{
    CWork_BK* pWork = Work();
    if (pWork == nullptr)
        return;
    std::uint32_t dwSize = 0;
    {
        const auto ALock = pWork->LockImages();
        dwSize = pWork->GetRadar().GetFileSize();
    }
    const std::uint8_t btPayload[4] = {
        static_cast<std::uint8_t>(dwSize), static_cast<std::uint8_t>(dwSize >> 8),
        static_cast<std::uint8_t>(dwSize >> 16), static_cast<std::uint8_t>(dwSize >> 24)};
    Queue(Cmd::RadarStart, btPayload, 4);
}

void CDealMsg::SendWriteSettings()
{
    CWork_BK* pWork = Work();
    if (pWork == nullptr)
        return;
    std::uint8_t btBlock[kSettingsSize];
    pWork->GetSettingsG(btBlock);
    Queue(Cmd::WriteSettings, btBlock, kSettingsSize);
}

std::vector<std::uint8_t> CDealMsg::MakeProjectPayload(const CPacket_Hex& ARecord,
                                                       std::uint32_t dwUpper) const
{
    const std::uint8_t uLen = ARecord.GetLength();
    const std::uint32_t dwAddress = (dwUpper << 16) + ARecord.GetAddress();
    std::vector<std::uint8_t> Payload(uLen + 5u, 0);
    for (int i = 0; i < 4; ++i)
        Payload[i] = static_cast<std::uint8_t>(dwAddress >> (8 * i));
    Payload[4] = uLen;
    const std::uint8_t* pData = ARecord.GetData();
    if (pData != nullptr)
        std::copy(pData, pData + uLen, Payload.begin() + 5);
    return Payload;
}

int CDealMsg::SendProjectPackets()
{
    CWork_BK* pWork = Work();
    if (pWork == nullptr)
        return 0;
    const auto ALock = pWork->LockImages();
    const auto Records = pWork->GetProject().GetRecords();
    if (Records.empty())
        return 0;
    DebugPrint(L"Project PacketNum is:%ld\r\n", static_cast<long>(Records.size()));
    if (Records.front().GetType() != 4)
        return 0;
    // Every data record goes once, at the segment named by the extended
    // linear address record before it; no other record type is data.
    std::uint32_t dwUpper = 0;
    for (const CPacket_Hex& ARecord : Records) {
        if (ARecord.GetType() == 4 && ARecord.GetLength() >= 2) {
            dwUpper = static_cast<std::uint32_t>(ARecord.GetData()[0] << 8 | ARecord.GetData()[1]);
        } else if (ARecord.GetType() == 0) {
            const std::vector<std::uint8_t> Payload = MakeProjectPayload(ARecord, dwUpper);
            Queue(Cmd::DataRecord, Payload.data(), static_cast<std::uint16_t>(Payload.size()));
        }
    }
    SendProjectEnd();
    return 1;
}

namespace {

// Queues one block stage: a data frame per block of the image, then the end
// command. The image is read under the worker's image lock.
template <class TGetImage>
int QueueBlocks(TGetImage GetImage, const wchar_t* wzLog, std::uint8_t btData, std::uint8_t btEnd)
{
    CWork_BK* pWork = Work();
    if (pWork == nullptr)
        return 0;
    const auto ALock = pWork->LockImages();
    const auto Blocks = GetImage(*pWork).GetBlocks();
    DebugPrint(wzLog, static_cast<long>(Blocks.size()));
    for (const CRawString& strBlock : Blocks) {
        CPacket_ISP APacket;
        APacket.SetCommand(btData, strBlock.GetData(), static_cast<std::uint16_t>(strBlock.GetLength()));
        pWork->AddTask(APacket);
    }
    CPacket_ISP AEnd;
    AEnd.SetCommand(btEnd, nullptr, 0);
    pWork->AddTask(AEnd);
    return 1;
}

} // namespace

int CDealMsg::SendEDogPackets()
{
    return QueueBlocks([](const CWork_BK& AWork) -> const CFile_EDogMusic& { return AWork.GetEDog(); },
                       L"EDog PacketNum is:%ld\r\n", Cmd::EDogBlock, Cmd::EDogEnd);
}

int CDealMsg::SendMusicPackets()
{
    return QueueBlocks([](const CWork_BK& AWork) -> const CFile_EDogMusic& { return AWork.GetMusic(); },
                       L"Music PacketNum is:%ld\r\n", Cmd::MusicBlock, Cmd::MusicEnd);
}

int CDealMsg::SendRadarPackets()
{
    return QueueBlocks([](const CWork_BK& AWork) -> const CFile_Radar& { return AWork.GetRadar(); },
                       L"Radar PacketNum is:%ld\r\n", Cmd::RadarBlock, Cmd::RadarEnd);
}
