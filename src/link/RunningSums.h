#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The 8-bit sums of a stretch of a buffer, for checksums of any part of it
// at the cost of one subtraction (short parts are summed directly). They
// start at the first part asked for and are made only as far as a checksum
// asks, and kept while the buffer grows at its end and loses bytes at its
// front, so each byte is summed once however often the frames around it are
// checked.
//
// Not thread-safe: the owner's thread alone.
class CRunningSums {
public:
    // The 8-bit sum of Bytes[nFrom, nFrom + nCount). Bytes are the whole
    // buffer from its front: the bytes earlier calls saw, in the same
    // places, and any appended since. The range must lie within Bytes.
    std::uint8_t Get(std::span<const std::uint8_t> Bytes, std::size_t nFrom, std::size_t nCount);

    // The buffer lost nCount bytes at its front.
    void DropFront(std::size_t nCount);

private:
    // m_Sums[i]: the sum of the bytes from m_nOrigin up to m_nOrigin + i,
    // m_nOrigin counted from the buffer's front (below 0 once the bytes the
    // first sums cover were dropped). Empty until a long part is asked for.
    std::vector<std::uint8_t> m_Sums;
    std::ptrdiff_t m_nOrigin = 0;
};
