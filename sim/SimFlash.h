#pragma once
#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "SimBytes.h"

// One run of written bytes.
struct CSimRange {
    std::uint32_t dwStart = 0;
    std::uint64_t dwLength = 0;
    bool operator==(const CSimRange&) const = default;
};

// The device's 32-bit address space as its flash holds it: only written
// bytes take memory; everything else reads as erased (0xFF).
class CSimFlash {
public:
    void Clear() { m_Pages.clear(); }
    // Addresses past 0xFFFFFFFF wrap, as a 32-bit address register would.
    void Write(std::uint32_t dwAddress, std::span<const std::uint8_t> Bytes);
    bool IsEmpty() const { return m_Pages.empty(); }
    std::vector<CSimRange> GetRanges() const;
    // From the lowest written address to the highest, gaps erased. Empty
    // when nothing was written or the span is longer than dwLimit.
    CSimBytes GetImage(std::uint32_t& dwBase, std::uint64_t dwLimit = kImageLimit) const;
    std::uint64_t GetSpan() const;
    // Every written byte at its address.
    std::map<std::uint32_t, std::uint8_t> GetBytes() const;

    // A firmware image spread wider than this is not a device's flash.
    static constexpr std::uint64_t kImageLimit = 64u << 20;

private:
    static constexpr std::uint32_t kPageSize = 256;
    struct CPage {
        CPage() { btBytes.fill(0xFF); }
        std::array<std::uint8_t, kPageSize> btBytes{};
        std::bitset<kPageSize> Written;
    };
    std::map<std::uint32_t, CPage> m_Pages; // by page number
};
