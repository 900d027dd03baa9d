#include "UpdateImages.h"

#include <mutex>
#include <type_traits>


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
    for (std::uint32_t nRecord = 0; nRecord < Records.size(); ++nRecord) {
        const CPacket_Hex& ARecord = Records[nRecord];
        if (ARecord.GetType() == kExtendedLinearAddress && ARecord.GetLength() >= 2)
            dwUpper = static_cast<std::uint32_t>(ARecord.GetData()[0] << 8 | ARecord.GetData()[1]);
        else if (ARecord.GetType() == kDataRecord)
            Take(nRecord, (dwUpper << 16) + ARecord.GetAddress());
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
    m_ProjectFrames.clear();
    ForEachDataRecord(m_Project.GetRecords(), [this](std::uint32_t nRecord, std::uint32_t dwAddress) {
        m_ProjectFrames.push_back({nRecord, dwAddress});
    });
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
    m_ProjectFrames.clear();
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
            return static_cast<std::uint32_t>(m_ProjectFrames.size());
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

CPayload CUpdateImages::GetPayload(EImage eImage, std::uint32_t nIndex) const
{
    std::shared_lock ALock(m_Lock);
    return Visit(*this, eImage, [this, nIndex](const auto& AImage) {
        CPayload Payload;
        if constexpr (kIsProject<decltype(AImage)>) {
            if (nIndex >= m_ProjectFrames.size())
                return Payload;
            const CProjectFrame& AFrame = m_ProjectFrames[nIndex];
            const CPacket_Hex& ARecord = AImage.GetRecords()[AFrame.nRecord];
            const std::uint8_t uLen = ARecord.GetLength();
            Payload.assign(uLen + 5u, 0);
            for (int i = 0; i < 4; ++i)
                Payload[i] = static_cast<std::uint8_t>(AFrame.dwAddress >> (8 * i));
            Payload[4] = uLen;
            if (const std::uint8_t* pData = ARecord.GetData(); pData != nullptr)
                std::copy(pData, pData + uLen, Payload.begin() + 5);
        } else if (nIndex < AImage.GetBlocks().size()) {
            const CRawString& strBlock = AImage.GetBlocks()[nIndex];
            Payload.assign(strBlock.GetData(), strBlock.GetData() + strBlock.GetLength());
        }
        return Payload;
    }, CPayload{});
}

std::vector<std::uint32_t> CUpdateImages::GetPayloadSizes(EImage eImage) const
{
    std::shared_lock ALock(m_Lock);
    return Visit(*this, eImage, [this](const auto& AImage) {
        std::vector<std::uint32_t> Sizes;
        if constexpr (kIsProject<decltype(AImage)>) {
            for (const CProjectFrame& AFrame : m_ProjectFrames)
                Sizes.push_back(AImage.GetRecords()[AFrame.nRecord].GetLength() + 5u);
        } else {
            for (const CRawString& strBlock : AImage.GetBlocks())
                Sizes.push_back(static_cast<std::uint32_t>(strBlock.GetLength()));
        }
        return Sizes;
    }, std::vector<std::uint32_t>{});
}
