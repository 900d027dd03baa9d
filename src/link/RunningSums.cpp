#include "RunningSums.h"

namespace {

// A range this short is summed directly: cheaper than carrying the running
// sums over the bytes before it, and a host's answer is mostly this short.
constexpr std::size_t kDirectSum = 64;

std::uint8_t SumOf(const std::uint8_t* pBytes, std::size_t nCount)
{
    std::uint8_t btSum = 0;
    for (std::size_t i = 0; i < nCount; ++i)
        btSum = static_cast<std::uint8_t>(btSum + pBytes[i]);
    return btSum;
}

} // namespace

std::uint8_t CRunningSums::Get(std::span<const std::uint8_t> Bytes, std::size_t nFrom, std::size_t nCount)
{
    if (nCount <= kDirectSum)
        return SumOf(Bytes.data() + nFrom, nCount);
    const std::size_t nEnd = nFrom + nCount;
    if (m_Sums.empty())
        m_Sums.push_back(0);
    std::size_t nMade = m_Sums.size() - 1 - m_nFront;
    if (nEnd > nMade) {
        m_Sums.resize(m_nFront + nEnd + 1);
        // Locals, so that the stores are not taken to change them.
        std::uint8_t* pSums = m_Sums.data() + m_nFront;
        const std::uint8_t* pBytes = Bytes.data();
        std::uint8_t btSum = pSums[nMade];
        for (; nMade < nEnd; ++nMade) {
            btSum = static_cast<std::uint8_t>(btSum + pBytes[nMade]);
            pSums[nMade + 1] = btSum;
        }
    }
    return static_cast<std::uint8_t>(m_Sums[m_nFront + nEnd] - m_Sums[m_nFront + nFrom]);
}

void CRunningSums::DropFront(std::size_t nCount)
{
    const std::size_t nMade = m_Sums.empty() ? 0 : m_Sums.size() - 1 - m_nFront;
    if (nCount >= nMade) {
        // Nothing summed is left: start again from the new front.
        m_Sums.clear();
        m_nFront = 0;
        return;
    }
    m_nFront += nCount;
    // Moving the rest costs no more than the entries dropped.
    if (m_nFront >= m_Sums.size() - m_nFront) {
        m_Sums.erase(m_Sums.begin(), m_Sums.begin() + static_cast<std::ptrdiff_t>(m_nFront));
        m_nFront = 0;
    }
}
