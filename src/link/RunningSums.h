#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The 8-bit sums of a buffer's first bytes, for checksums of any part of it
// at the cost of one subtraction (short parts are summed directly). They are
// made only as far as a checksum asks, and kept while the buffer grows at its end and loses bytes at its
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
    // m_Sums[m_nFront + i]: the sum of the buffer's first i bytes (from some
    // base); the entries before m_nFront belong to bytes already dropped.
    // Empty until a long range is asked for.
    std::vector<std::uint8_t> m_Sums;
    std::size_t m_nFront = 0;
};
