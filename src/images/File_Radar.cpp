#include "File_Radar.h"

#include <algorithm>
#include <limits>

#include "DebugPrint.h"
#include "ImageFile.h"

CFile_Radar::CFile_Radar(std::int32_t nLenExtAddress, std::int32_t nLenData,
                         std::int32_t nLenStart, std::int32_t nLenEnd)
    : m_nLineLengths{nLenExtAddress, nLenData, nLenStart, nLenEnd}
{
}

int CFile_Radar::Load(const std::filesystem::path& Path)
{
    return LoadImageFile(*this, Path, L"Radar file", [this] { ClearBlocks(); });
}

int CFile_Radar::Read(std::FILE* pFile, std::wstring_view wzSource)
{
    ClearBlocks();
    if (pFile == nullptr)
        return 0;
    std::uint64_t uSize = 0;
    if (std::fseek(pFile, 0, SEEK_SET) != 0 || !MeasureRest(pFile, uSize))
        return SetDamaged(wzSource, 0, L"size cannot be measured");
    // The bound also keeps every offset within the signed 32-bit read offset.
    static_assert(kMaxImageSize < static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()));
    if (uSize > kMaxImageSize) {
        SetDamaged(wzSource, kMaxImageSize, kTooLarge);
        m_Fault = {CLoadFault::EWhere::Size, uSize, kTooLarge};
        return 0;
    }

    std::vector<std::uint8_t> btBuf(kLargeBlock);
    std::uint64_t uRemaining = uSize;
    while (uRemaining > 0) {
        // Never ask for more than the measured size, so the blocks add up to
        // exactly the size the device is told.
        const std::uint64_t uBlock = uRemaining >= kLargeBlock ? kLargeBlock : kSmallBlock;
        const auto nWant = static_cast<std::size_t>(std::min(uBlock, uRemaining));
        const std::uint64_t uOffset = uSize - uRemaining;
        const std::size_t nGot = ReadAt(pFile, std::span(btBuf.data(), nWant));
        if (nGot < nWant) {
            return SetDamaged(wzSource, uOffset + nGot,
                              std::ferror(pFile) ? L"read error" : L"file ends before its measured size");
        }
        CRawString strBlock;
        if (!strBlock.Assign(btBuf.data(), static_cast<std::int32_t>(nGot)))
            return SetDamaged(wzSource, uOffset, L"out of memory");
        m_Blocks.push_back(std::move(strBlock));
        uRemaining -= nGot;
    }
    m_dwFileSize = static_cast<std::uint32_t>(uSize);
    m_eState = ELoadState::Loaded;
    return m_Blocks.empty() ? 0 : 1;
}

std::size_t CFile_Radar::ReadAt(std::FILE* pFile, std::span<std::uint8_t> btBuf)
{
    const std::int32_t nOffset = m_nReadOffset;
    const auto nRoom = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - nOffset);
    if (nOffset < 0 || btBuf.size() > nRoom)
        return 0;
    m_nReadOffset += static_cast<std::int32_t>(btBuf.size());
    if (std::fseek(pFile, nOffset, SEEK_SET) != 0)
        return 0;
    return std::fread(btBuf.data(), 1, btBuf.size(), pFile);
}

void CFile_Radar::ClearBlocks()
{
    m_Blocks.clear();
    m_nReadOffset = 0;
    m_dwFileSize = 0;
    m_eState = ELoadState::Absent;
    m_Fault = {};
}

int CFile_Radar::SetDamaged(std::wstring_view wzSource, std::uint64_t uOffset, const wchar_t* wzFault)
{
    DebugPrint(L"\r\n Radar file %.*ls damaged at offset %llu: %ls \r\n",
               static_cast<int>(wzSource.size()), wzSource.data(),
               static_cast<unsigned long long>(uOffset), wzFault);
    ClearBlocks();
    m_eState = ELoadState::Damaged;
    m_Fault = {CLoadFault::EWhere::Offset, uOffset, wzFault};
    return 0;
}
