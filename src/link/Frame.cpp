#include "Frame.h"

#include <vector>

std::uint8_t FrameChecksum(const std::uint8_t* pBytes, std::int32_t nCount)
{
    std::uint8_t btSum = 0;
    for (std::int32_t i = 0; pBytes != nullptr && i < nCount; ++i)
        btSum = static_cast<std::uint8_t>(btSum + pBytes[i]);
    return btSum;
}

namespace {

// The one search behind both sides' rules: the host reads the low length
// byte alone and commands up to 0x51; the device reads all 16 length bits.
// The checksum of bytes [nFrom, nFrom + nCount). A long stated length is
// summed through running sums made once per search: noise full of start
// bytes with long lengths would otherwise cost a sum of up to 64 KiB for
// each of them, seconds for one buffer on the device's side.
class CChecksums {
public:
    explicit CChecksums(const CRawString& strBuf) : m_strBuf(strBuf) {}

    std::uint8_t Get(std::int32_t nFrom, std::int32_t nCount)
    {
        if (nCount <= 256)
            return FrameChecksum(m_strBuf.GetData() + nFrom, nCount);
        if (m_Running.empty()) {
            const std::uint8_t* pBytes = m_strBuf.GetData();
            const auto nLength = static_cast<std::size_t>(m_strBuf.GetLength());
            m_Running.resize(nLength + 1);
            for (std::size_t i = 0; i < nLength; ++i)
                m_Running[i + 1] = static_cast<std::uint8_t>(m_Running[i] + pBytes[i]);
        }
        return static_cast<std::uint8_t>(m_Running[static_cast<std::size_t>(nFrom) + static_cast<std::size_t>(nCount)] -
                                         m_Running[static_cast<std::size_t>(nFrom)]);
    }

private:
    const CRawString& m_strBuf;
    std::vector<std::uint8_t> m_Running; // sum of the first i bytes at i
};

bool FindFrameBy(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail, bool bWide)
{
    static constexpr std::uint8_t btStart = 0xAC;
    nHead = -1;
    nTail = -1;
    std::int32_t nSearch = 0;
    const std::int32_t nLength = strBuf.GetLength();
    CChecksums ASums(strBuf);
    while (nSearch < nLength) {
        nHead = strBuf.Find(&btStart, 1, nSearch);
        if (nHead < 0)
            return false;
        nSearch = nHead + 1;
        const std::int32_t nLen = strBuf.At(nHead + 1) | (bWide ? strBuf.At(nHead + 2) << 8 : 0);
        if (nLen < 5)
            continue;
        nTail = nHead + nLen;
        const std::uint8_t btCommand = strBuf.At(nHead + 3);
        if (nTail > nLength) {
            // The device waits for a frame still arriving: the host's block
            // frames come in pieces, and their payloads hold start bytes
            // that, cut short, pass for frames. The host looks further, as
            // its answers are short and noise may stand before them.
            if (bWide && btCommand != 0)
                return false;
            continue;
        }
        if (btCommand == 0 || (!bWide && btCommand > 0x51))
            continue;
        if (ASums.Get(nHead + 3, nLen - 4) == strBuf.At(nTail - 1))
            return true;
    }
    return false;
}

} // namespace

bool FindFrame(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail)
{
    return FindFrameBy(strBuf, nHead, nTail, false);
}

bool FindFrameWide(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail)
{
    return FindFrameBy(strBuf, nHead, nTail, true);
}

namespace {

// cppcheck-suppress constParameter ; a function has no const to point to
void BoundReceiveBuffer(CRawString& strReceive, FrameFinder pFinder)
{
    // A frame still arriving is at most 255 bytes long on the host's side,
    // 65535 on the device's.
    const std::int32_t nKeep = pFinder == &FindFrame ? kReceiveKeep : 65535;
    const std::int32_t nLimit = pFinder == &FindFrame ? kReceiveLimit : 2 * 65536;
    const std::int32_t nLength = strReceive.GetLength();
    if (nLength > nLimit)
        strReceive.Erase(0, nLength - nKeep);
}

} // namespace

int CutFrames(CRawString& strReceive, std::span<const std::uint8_t> Chunk,
              const std::function<void(const CRawString&)>& OnFrame, FrameFinder pFinder)
{
    if (!Chunk.empty())
        strReceive.Append(Chunk.data(), static_cast<std::int32_t>(Chunk.size()));
    int nFrames = 0;
    CRawString strFrame;
    while (strReceive.Extract(pFinder, strFrame, true)) {
        ++nFrames;
        if (OnFrame)
            OnFrame(strFrame);
    }
    BoundReceiveBuffer(strReceive, pFinder);
    return nFrames;
}
