#include "UpdateImages.h"

#include <mutex>
#include <type_traits>

#include "DebugPrint.h"

namespace {

// The line lengths every image object is made with.
constexpr std::int32_t kLineLengths[4] = {17, 45, 21, 13};

constexpr std::uint8_t kDataRecord = 0;
constexpr std::uint8_t kExtendedLinearAddress = 4;

template <class TImage>
constexpr bool kIsProject = std::is_same_v<std::decay_t<TImage>, CFile_Project>;

} // namespace

CUpdateImages::CUpdateImages()
    : m_Project(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3]),
      m_EDog(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3]),
      m_Music(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3]),
      m_Radar(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3])
{
}

template <class TSelf, class TDo, class TResult>
TResult CUpdateImages::Visit(TSelf& ASelf, EImage eImage, TDo Do, TResult ANone)
{
    switch (eImage) {
    case EImage::Project: return Do(ASelf.m_Project);
    case EImage::EDog: return Do(ASelf.m_EDog);
    case EImage::Music: return Do(ASelf.m_Music);
    case EImage::Radar: return Do(ASelf.m_Radar);
    case EImage::Menu: break;
    }
    return ANone;
}

bool CUpdateImages::IsProgrammable(std::span<const CPacket_Hex> Records)
{
    // Without an extended linear address first, no record has a known
    // 32-bit address: nothing of such a file can be programmed.
    return !Records.empty() && Records.front().GetType() == kExtendedLinearAddress;
}

template <class TTake>
void CUpdateImages::ForEachDataRecord(std::span<const CPacket_Hex> Records, TTake Take)
{
    if (!IsProgrammable(Records))
        return;
    std::uint32_t dwUpper = 0;
    for (const CPacket_Hex& ARecord : Records) {
        if (ARecord.GetType() == kExtendedLinearAddress && ARecord.GetLength() >= 2)
            dwUpper = static_cast<std::uint32_t>(ARecord.GetData()[0] << 8 | ARecord.GetData()[1]);
        else if (ARecord.GetType() == kDataRecord)
            Take(ARecord, (dwUpper << 16) + ARecord.GetAddress());
    }
}

void CUpdateImages::Load(const std::filesystem::path& Folder)
{
    std::unique_lock<std::shared_mutex> ALock(m_Lock);
    if (Folder.empty()) {
        ClearLocked();
        return;
    }
    for (const CStage& AStage : kStages) {
        if (AStage.szFile == nullptr)
            continue;
        const std::filesystem::path File(Folder.native() + std::filesystem::path(AStage.szFile).native());
        Visit(*this, AStage.eImage, [&File](auto& AImage) { return AImage.Load(File); }, 0);
    }
    m_dwProjectFrames = 0;
    ForEachDataRecord(m_Project.GetRecords(), [this](const CPacket_Hex&, std::uint32_t) { ++m_dwProjectFrames; });
}

void CUpdateImages::Clear()
{
    std::unique_lock<std::shared_mutex> ALock(m_Lock);
    ClearLocked();
}

void CUpdateImages::ClearLocked()
{
    m_Project.ClearRecords();
    m_EDog.ClearBlocks();
    m_Music.ClearBlocks();
    m_Radar.ClearBlocks();
    m_dwProjectFrames = 0;
}

std::uint32_t CUpdateImages::GetCount(EImage eImage) const
{
    std::shared_lock ALock(m_Lock);
    return Visit(*this, eImage, [](const auto& AImage) -> std::uint32_t {
        if constexpr (kIsProject<decltype(AImage)>)
            return AImage.GetRecordCount();
        else
            return AImage.GetBlockCount();
    }, 0u);
}

std::uint32_t CUpdateImages::GetTotal(EImage eImage) const
{
    std::shared_lock ALock(m_Lock);
    return Visit(*this, eImage, [this](const auto& AImage) -> std::uint32_t {
        if constexpr (kIsProject<decltype(AImage)>)
            return m_dwProjectFrames;
        else
            return AImage.GetBlockCount();
    }, 0u);
}

bool CUpdateImages::FindDamage(EImage eImage, CLoadFault& AFault) const
{
    std::shared_lock ALock(m_Lock);
    return Visit(*this, eImage, [&AFault](const auto& AImage) {
        if constexpr (kIsProject<decltype(AImage)>) {
            const auto Records = AImage.GetRecords();
            if (!Records.empty() && !IsProgrammable(Records)) {
                AFault = {CLoadFault::EWhere::Line, 1, L"first record is not an extended linear address"};
                return true;
            }
        }
        AFault = AImage.GetLoadFault();
        return AImage.IsDamaged();
    }, false);
}

std::uint16_t CUpdateImages::GetFirmwareVersion() const
{
    std::shared_lock ALock(m_Lock);
    return m_Project.GetHexVer();
}

CPayload CUpdateImages::GetStartPayload(EImage eImage) const
{
    std::shared_lock ALock(m_Lock);
    return Visit(*this, eImage, [](const auto& AImage) {
        using TImage = std::decay_t<decltype(AImage)>;
        CPayload Payload;
        if constexpr (std::is_same_v<TImage, CFile_Project>) {
            const std::uint16_t uVersion = AImage.GetHexVer();
            Payload = {static_cast<std::uint8_t>(uVersion >> 8), static_cast<std::uint8_t>(uVersion & 0xFF)};
        } else if constexpr (std::is_same_v<TImage, CFile_Radar>) {
            const std::uint32_t dwSize = AImage.GetFileSize();
            for (int i = 0; i < 4; ++i)
                Payload.push_back(static_cast<std::uint8_t>(dwSize >> (8 * i)));
        }
        return Payload;
    }, CPayload{});
}

std::vector<CPayload> CUpdateImages::GetPayloads(EImage eImage) const
{
    std::shared_lock ALock(m_Lock);
    return Visit(*this, eImage, [this](const auto& AImage) {
        std::vector<CPayload> Payloads;
        if constexpr (kIsProject<decltype(AImage)>) {
            Payloads.reserve(m_dwProjectFrames);
            ForEachDataRecord(AImage.GetRecords(), [&Payloads](const CPacket_Hex& ARecord, std::uint32_t dwAddress) {
                const std::uint8_t uLen = ARecord.GetLength();
                CPayload Payload(uLen + 5u, 0);
                for (int i = 0; i < 4; ++i)
                    Payload[i] = static_cast<std::uint8_t>(dwAddress >> (8 * i));
                Payload[4] = uLen;
                if (const std::uint8_t* pData = ARecord.GetData(); pData != nullptr)
                    std::copy(pData, pData + uLen, Payload.begin() + 5);
                Payloads.push_back(std::move(Payload));
            });
        } else {
            for (const CRawString& strBlock : AImage.GetBlocks())
                Payloads.emplace_back(strBlock.GetData(), strBlock.GetData() + strBlock.GetLength());
        }
        return Payloads;
    }, std::vector<CPayload>{});
}

bool CUpdateImages::QueueStage(const CStage& AStage, CCommandQueue& AQueue) const
{
    const std::vector<CPayload> Payloads = GetPayloads(AStage.eImage);
    DebugPrint(L"%ls PacketNum is:%ld\r\n", AStage.wzTraceName, static_cast<long>(GetCount(AStage.eImage)));
    if (Payloads.empty())
        return false;
    for (const CPayload& Payload : Payloads)
        AQueue.QueueFrame(AStage.btBlock, Payload);
    AQueue.QueueFrame(AStage.btEnd);
    return true;
}
