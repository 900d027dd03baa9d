#include "FrameCutter.h"

#include <algorithm>

CFrameCutter::CFrameCutter(EFrameSide eSide) : m_eSide(eSide) {}

int CFrameCutter::Cut(std::span<const std::uint8_t> Chunk, const std::function<void(const CRawString&)>& OnFrame)
{
    Compact();
    m_Bytes.insert(m_Bytes.end(), Chunk.begin(), Chunk.end());
    int nFrames = 0;
    CFrameSearch ASearch;
    while (FindFrameFrom(GetPending(), m_eSide, m_nSettled, ASearch, m_Sums)) {
        m_nScanned += static_cast<std::uint64_t>(ASearch.nScanned);
        const CRawString strFrame(m_Bytes.data() + m_nStart + ASearch.nHead, ASearch.nTail - ASearch.nHead);
        // The frame and everything before it are consumed before the frame
        // is handed on, so a handler that throws leaves nothing to repeat.
        Consume(static_cast<std::size_t>(ASearch.nTail));
        m_nSettled = 0;
        ++nFrames;
        if (OnFrame)
            OnFrame(strFrame);
    }
    m_nScanned += static_cast<std::uint64_t>(ASearch.nScanned);
    m_nSettled = ASearch.nSettled;
    Bound();
    return nFrames;
}

std::span<const std::uint8_t> CFrameCutter::GetPending() const
{
    return std::span<const std::uint8_t>(m_Bytes).subspan(m_nStart);
}

void CFrameCutter::Bound()
{
    const bool bWide = m_eSide == EFrameSide::Device;
    const std::int32_t nLimit = bWide ? kWideReceiveLimit : kReceiveLimit;
    const std::int32_t nKeep = bWide ? kWideReceiveKeep : kReceiveKeep;
    const auto nPending = static_cast<std::int32_t>(m_Bytes.size() - m_nStart);
    if (nPending <= nLimit)
        return;
    const std::int32_t nDrop = nPending - nKeep;
    Consume(static_cast<std::size_t>(nDrop));
    m_nSettled = std::max(0, m_nSettled - nDrop);
}

void CFrameCutter::Consume(std::size_t nCount)
{
    m_nStart += nCount;
    m_Sums.DropFront(nCount);
}

void CFrameCutter::Compact()
{
    if (m_nStart == 0 || m_nStart < m_Bytes.size() - m_nStart)
        return;
    m_Bytes.erase(m_Bytes.begin(), m_Bytes.begin() + static_cast<std::ptrdiff_t>(m_nStart));
    m_nStart = 0;
}
