#include "UpdateImages.h"

#include <mutex>

namespace {

// The line lengths every image object is made with.
constexpr std::int32_t kLineLengths[4] = {17, 45, 21, 13};

constexpr std::uint8_t kDataRecord = 0;
constexpr std::uint8_t kExtendedLinearAddress = 4;

} // namespace

CUpdateImages::CUpdateImages()
    : m_Project(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3]),
      m_EDog(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3]),
      m_Music(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3]),
      m_Radar(kLineLengths[0], kLineLengths[1], kLineLengths[2], kLineLengths[3])
{
}

template <class TTake>
void CUpdateImages::ForEachDataRecord(std::span<const CPacket_Hex> Records, TTake Take)
{
    // Without an extended linear address first, no record has a known
    // 32-bit address: nothing of such a file can be programmed.
    if (Records.empty() || Records.front().GetType() != kExtendedLinearAddress)
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
        switch (AStage.eImage) {
        case EImage::Project: m_Project.Load(File); break;
        case EImage::EDog: m_EDog.Load(File); break;
        case EImage::Music: m_Music.Load(File); break;
        case EImage::Radar: m_Radar.Load(File); break;
        case EImage::Menu: break;
        }
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

std::span<const CRawString> CUpdateImages::GetBlocksLocked(EImage eImage) const
{
    switch (eImage) {
    case EImage::EDog: return m_EDog.GetBlocks();
    case EImage::Music: return m_Music.GetBlocks();
    case EImage::Radar: return m_Radar.GetBlocks();
    default: return {};
    }
}

std::uint32_t CUpdateImages::GetCount(EImage eImage) const
{
    std::shared_lock ALock(m_Lock);
    return eImage == EImage::Project ? m_Project.GetRecordCount()
                                     : static_cast<std::uint32_t>(GetBlocksLocked(eImage).size());
}

std::uint32_t CUpdateImages::GetTotal(EImage eImage) const
{
    std::shared_lock ALock(m_Lock);
    return eImage == EImage::Project ? m_dwProjectFrames : static_cast<std::uint32_t>(GetBlocksLocked(eImage).size());
}

bool CUpdateImages::FindDamage(EImage eImage, CLoadFault& AFault) const
{
    std::shared_lock ALock(m_Lock);
    switch (eImage) {
    case EImage::Project: {
        const auto Records = m_Project.GetRecords();
        if (!Records.empty() && Records.front().GetType() != kExtendedLinearAddress) {
            AFault = {CLoadFault::EWhere::Line, 1, L"first record is not an extended linear address"};
            return true;
        }
        AFault = m_Project.GetLoadFault();
        return m_Project.IsDamaged();
    }
    case EImage::EDog: AFault = m_EDog.GetLoadFault(); return m_EDog.IsDamaged();
    case EImage::Music: AFault = m_Music.GetLoadFault(); return m_Music.IsDamaged();
    case EImage::Radar: AFault = m_Radar.GetLoadFault(); return m_Radar.IsDamaged();
    case EImage::Menu: break;
    }
    return false;
}

std::uint16_t CUpdateImages::GetFirmwareVersion() const
{
    std::shared_lock ALock(m_Lock);
    return m_Project.GetHexVer();
}

CPayload CUpdateImages::GetStartPayload(EImage eImage) const
{
    std::shared_lock ALock(m_Lock);
    CPayload Payload;
    if (eImage == EImage::Project) {
        const std::uint16_t uVersion = m_Project.GetHexVer();
        Payload = {static_cast<std::uint8_t>(uVersion >> 8), static_cast<std::uint8_t>(uVersion & 0xFF)};
    } else if (eImage == EImage::Radar) {
        const std::uint32_t dwSize = m_Radar.GetFileSize();
        for (int i = 0; i < 4; ++i)
            Payload.push_back(static_cast<std::uint8_t>(dwSize >> (8 * i)));
    }
    return Payload;
}

std::vector<CPayload> CUpdateImages::GetPayloads(EImage eImage) const
{
    std::shared_lock ALock(m_Lock);
    std::vector<CPayload> Payloads;
    if (eImage == EImage::Project) {
        Payloads.reserve(m_dwProjectFrames);
        ForEachDataRecord(m_Project.GetRecords(), [&Payloads](const CPacket_Hex& ARecord, std::uint32_t dwAddress) {
            const std::uint8_t uLen = ARecord.GetLength();
            CPayload Payload(uLen + 5u, 0);
            for (int i = 0; i < 4; ++i)
                Payload[i] = static_cast<std::uint8_t>(dwAddress >> (8 * i));
            Payload[4] = uLen;
            if (const std::uint8_t* pData = ARecord.GetData(); pData != nullptr)
                std::copy(pData, pData + uLen, Payload.begin() + 5);
            Payloads.push_back(std::move(Payload));
        });
        return Payloads;
    }
    for (const CRawString& strBlock : GetBlocksLocked(eImage))
        Payloads.emplace_back(strBlock.GetData(), strBlock.GetData() + strBlock.GetLength());
    return Payloads;
}
