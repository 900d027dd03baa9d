// The frame cutter on arbitrary chunk sequences, for both sides of the line.
// Whatever arrives, every delivered frame is one the rules accept, frames
// come out in stream order, the receive buffer is always the unconsumed end
// of the stream, holds no frame a search of the whole buffer could still
// deliver, and stays bounded; the searches pass each byte received a bounded
// number of times, however long the noise waiting before it.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Frame.h"
#include "FrameCutter.h"
#include "FuzzCheck.h"

namespace {

void CheckFrame(const CRawString& strFrame, bool bWide)
{
    const std::int32_t nLength = strFrame.GetLength();
    const std::int32_t nStated = strFrame.At(1) | (bWide ? strFrame.At(2) << 8 : 0);
    FUZZ_REQUIRE(nLength >= 5 && nLength == nStated);
    FUZZ_REQUIRE(strFrame.At(0) == 0xAC);
    const std::uint8_t btCommand = strFrame.At(3);
    FUZZ_REQUIRE(btCommand != 0 && (bWide || btCommand <= 0x51));
    FUZZ_REQUIRE(FrameChecksum(strFrame.GetData() + 3, nLength - 4) == strFrame.At(nLength - 1));
}

// Where strFrame next stands in Stream at or after nFrom, or Stream's size:
// the start bytes found by memchr and each compared whole by memcmp, which
// the fuzzer's hooks do not slow byte by byte.
std::size_t FindInStream(const std::vector<std::uint8_t>& Stream, std::size_t nFrom, const CRawString& strFrame)
{
    const auto nLength = static_cast<std::size_t>(strFrame.GetLength());
    while (nFrom + nLength <= Stream.size()) {
        const void* pHit = std::memchr(Stream.data() + nFrom, strFrame.At(0), Stream.size() - nLength - nFrom + 1);
        if (pHit == nullptr)
            break;
        nFrom = static_cast<std::size_t>(static_cast<const std::uint8_t*>(pHit) - Stream.data());
        if (std::memcmp(Stream.data() + nFrom, strFrame.GetData(), nLength) == 0)
            return nFrom;
        ++nFrom;
    }
    return Stream.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    FuzzedDataProvider AInput(pData, nSize);
    const bool bWide = AInput.ConsumeBool();
    const auto nLimit = static_cast<std::size_t>(bWide ? kWideReceiveLimit : kReceiveLimit);

    const EFrameSide eSide = bWide ? EFrameSide::Device : EFrameSide::Host;
    CFrameCutter ACutter(eSide);
    std::uint64_t nCuts = 0;
    std::vector<std::uint8_t> Stream;  // every byte fed so far
    CRunningSums AStreamSums;          // of Stream, which only grows
    std::size_t nConsumed = 0;         // end of the last delivered frame in Stream
    while (AInput.remaining_bytes() > 0) {
        // A chunk, now and then repeated up to 113 times: long noise must
        // reach the buffer's bound with inputs of a few kilobytes.
        const std::uint8_t btOp = AInput.ConsumeIntegral<std::uint8_t>();
        const std::size_t nChunk = AInput.ConsumeIntegralInRange<std::size_t>(0, 600);
        const std::vector<std::uint8_t> Chunk = AInput.ConsumeBytes<std::uint8_t>(nChunk);
        const unsigned nRepeat = btOp >= 0xF8 ? 1u + (btOp - 0xF8u) * 16u : 1u;
        for (unsigned r = 0; r < nRepeat; ++r) {
            Stream.insert(Stream.end(), Chunk.begin(), Chunk.end());
            int nSeen = 0;
            ++nCuts;
            const int nDelivered = ACutter.Cut(Chunk, [&](const CRawString& strFrame) {
                ++nSeen;
                CheckFrame(strFrame, bWide);
                const std::size_t nAt = FindInStream(Stream, nConsumed, strFrame);
                FUZZ_REQUIRE(nAt < Stream.size());
                nConsumed = nAt + static_cast<std::size_t>(strFrame.GetLength());
            });
            FUZZ_REQUIRE(nDelivered == nSeen);

            const std::span<const std::uint8_t> Pending = ACutter.GetPending();
            const std::size_t nLeft = Pending.size();
            FUZZ_REQUIRE(nLeft <= nLimit);
            FUZZ_REQUIRE(nLeft <= Stream.size() - nConsumed);
            // In all, the searches pass the bytes received and at most 256
            // more for each chunk, however long the noise before them.
            FUZZ_REQUIRE(ACutter.GetScanned() <= Stream.size() + 256 * nCuts);
            // The whole-buffer checks once per repeated chunk keep the runs fast.
            if (Chunk.empty() || r + 1 == nRepeat) {
                FUZZ_REQUIRE(std::equal(Pending.begin(), Pending.end(),
                                        Stream.end() - static_cast<std::ptrdiff_t>(nLeft)));
                // A search of the whole buffer from its start finds no frame
                // either: searched within the stream, whose end it is, with
                // sums of the stream's own.
                CFrameSearch AWhole;
                const auto nPendingAt = static_cast<std::int32_t>(Stream.size() - nLeft);
                FUZZ_REQUIRE(!FindFrameFrom(Stream, eSide, nPendingAt, AWhole, AStreamSums));
            }
            if (Chunk.empty())
                break;
        }
    }
    return 0;
}
