#include "SimFlash.h"

void CSimFlash::Write(std::uint32_t dwAddress, std::span<const std::uint8_t> Bytes)
{
    for (std::size_t i = 0; i < Bytes.size(); ++i) {
        const std::uint32_t dwAt = dwAddress + static_cast<std::uint32_t>(i);
        CPage& APage = m_Pages[dwAt / kPageSize];
        APage.btBytes[dwAt % kPageSize] = Bytes[i];
        APage.Written.set(dwAt % kPageSize);
    }
}

std::vector<CSimRange> CSimFlash::GetRanges() const
{
    std::vector<CSimRange> Ranges;
    std::uint64_t dwNext = 0; // one past the end of the last range
    for (const auto& [dwPage, APage] : m_Pages) {
        for (std::uint32_t i = 0; i < kPageSize; ++i) {
            if (!APage.Written.test(i))
                continue;
            const std::uint64_t dwAt = static_cast<std::uint64_t>(dwPage) * kPageSize + i;
            if (!Ranges.empty() && dwAt == dwNext)
                ++Ranges.back().dwLength;
            else
                Ranges.push_back({static_cast<std::uint32_t>(dwAt), 1});
            dwNext = dwAt + 1;
        }
    }
    return Ranges;
}

std::uint64_t CSimFlash::GetSpan() const
{
    const std::vector<CSimRange> Ranges = GetRanges();
    if (Ranges.empty())
        return 0;
    return Ranges.back().dwStart + Ranges.back().dwLength - Ranges.front().dwStart;
}

CSimBytes CSimFlash::GetImage(std::uint32_t& dwBase, std::uint64_t dwLimit) const
{
    dwBase = 0;
    const std::vector<CSimRange> Ranges = GetRanges();
    if (Ranges.empty())
        return {};
    const std::uint64_t dwSpan = Ranges.back().dwStart + Ranges.back().dwLength - Ranges.front().dwStart;
    if (dwSpan > dwLimit)
        return {};
    dwBase = Ranges.front().dwStart;
    CSimBytes Image(static_cast<std::size_t>(dwSpan), 0xFF);
    for (const auto& [dwPage, APage] : m_Pages)
        for (std::uint32_t i = 0; i < kPageSize; ++i)
            if (APage.Written.test(i))
                Image[static_cast<std::uint64_t>(dwPage) * kPageSize + i - dwBase] = APage.btBytes[i];
    return Image;
}

std::map<std::uint32_t, std::uint8_t> CSimFlash::GetBytes() const
{
    std::map<std::uint32_t, std::uint8_t> Bytes;
    for (const auto& [dwPage, APage] : m_Pages)
        for (std::uint32_t i = 0; i < kPageSize; ++i)
            if (APage.Written.test(i))
                Bytes.emplace_hint(Bytes.end(), dwPage * kPageSize + i, APage.btBytes[i]);
    return Bytes;
}
