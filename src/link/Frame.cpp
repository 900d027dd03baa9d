#include "Frame.h"

#include <algorithm>
#include <cstring>

std::uint8_t FrameChecksum(const std::uint8_t* pBytes, std::int32_t nCount)
{
    std::uint8_t btSum = 0;
    for (std::int32_t i = 0; pBytes != nullptr && i < nCount; ++i)
        btSum = static_cast<std::uint8_t>(btSum + pBytes[i]);
    return btSum;
}

namespace {

constexpr std::uint8_t kStart = 0xAC;

// The first start byte at or after nFrom, or the buffer's length.
std::int32_t FindStart(std::span<const std::uint8_t> Bytes, std::int32_t nFrom)
{
    const auto nLength = static_cast<std::int32_t>(Bytes.size());
    if (nFrom >= nLength)
        return nLength;
    const void* pHit = std::memchr(Bytes.data() + nFrom, kStart, static_cast<std::size_t>(nLength - nFrom));
    if (pHit == nullptr)
        return nLength;
    return static_cast<std::int32_t>(static_cast<const std::uint8_t*>(pHit) - Bytes.data());
}

} // namespace

bool FindFrameFrom(std::span<const std::uint8_t> Bytes, EFrameSide eSide, std::int32_t nFrom,
                   CFrameSearch& ASearch, CRunningSums& ASums)
{
    const bool bWide = eSide == EFrameSide::Device;
    const auto nLength = static_cast<std::int32_t>(Bytes.size());
    nFrom = std::clamp(nFrom, 0, nLength);
    ASearch = CFrameSearch{};
    // A candidate is settled once the bytes it stands on have arrived and
    // rule it out; the first one still open is where the next search starts.
    std::int32_t nOpen = -1;
    std::int32_t nHead = FindStart(Bytes, nFrom);
    for (; nHead < nLength; nHead = FindStart(Bytes, nHead + 1)) {
        const std::int32_t nFieldEnd = nHead + (bWide ? 3 : 2);
        if (nFieldEnd > nLength) {
            // Its length has not all arrived.
            nOpen = nOpen < 0 ? nHead : nOpen;
            continue;
        }
        const std::int32_t nLen = Bytes[nHead + 1] | (bWide ? Bytes[nHead + 2] << 8 : 0);
        if (nLen < 5)
            continue;
        const std::int32_t nTail = nHead + nLen;
        const bool bCommandHere = nHead + 3 < nLength;
        const std::uint8_t btCommand = bCommandHere ? Bytes[nHead + 3] : 0;
        if (bCommandHere && (btCommand == 0 || (!bWide && btCommand > 0x51)))
            continue;
        if (nTail > nLength) {
            nOpen = nOpen < 0 ? nHead : nOpen;
            // The device waits for a frame still arriving: the host's block
            // frames come in pieces, and their payloads hold start bytes
            // that, cut short, pass for frames. The host looks further, as
            // its answers are short and noise may stand before them.
            if (bWide && bCommandHere)
                break;
            continue;
        }
        // Noise full of start bytes with long stated lengths would cost a sum
        // of up to 64 KiB for each of them; the running sums cost one.
        const std::uint8_t btSum =
            ASums.Get(Bytes, static_cast<std::size_t>(nHead) + 3, static_cast<std::size_t>(nLen) - 4);
        if (btSum == Bytes[static_cast<std::size_t>(nTail) - 1]) {
            ASearch.nHead = nHead;
            ASearch.nTail = nTail;
            ASearch.nSettled = nOpen < 0 ? nHead : nOpen;
            ASearch.nScanned = nHead + 1 - nFrom;
            return true;
        }
    }
    ASearch.nSettled = nOpen < 0 ? nLength : nOpen;
    ASearch.nScanned = std::min(nHead + 1, nLength) - nFrom;
    return false;
}

namespace {

bool FindWhole(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail, EFrameSide eSide)
{
    CFrameSearch ASearch;
    CRunningSums ASums;
    const bool bFound = FindFrameFrom(strBuf.AsSpan(), eSide, 0, ASearch, ASums);
    nHead = ASearch.nHead;
    nTail = ASearch.nTail;
    return bFound;
}

} // namespace

bool FindFrame(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail)
{
    return FindWhole(strBuf, nHead, nTail, EFrameSide::Host);
}

bool FindFrameWide(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail)
{
    return FindWhole(strBuf, nHead, nTail, EFrameSide::Device);
}
