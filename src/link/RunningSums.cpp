#include "RunningSums.h"

namespace {

// A part this short is summed directly: cheaper than carrying the running
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
    const auto nBegin = static_cast<std::ptrdiff_t>(nFrom);
    if (m_Sums.empty() || nBegin < m_nOrigin) {
        // A part before the sums made: they start again there, with room
        // for this part at once.
        m_Sums.clear();
        m_Sums.reserve(nCount + 1);
        m_Sums.push_back(0);
        m_nOrigin = nBegin;
    }
    const auto nEnd = static_cast<std::ptrdiff_t>(nFrom + nCount);
    const std::ptrdiff_t nMade = static_cast<std::ptrdiff_t>(m_Sums.size()) - 1 + m_nOrigin;
    if (nEnd > nMade) {
        m_Sums.resize(static_cast<std::size_t>(nEnd - m_nOrigin) + 1);
        // Locals, so that the stores are not taken to change them.
        const std::uint8_t* pByte = Bytes.data() + nMade;
        std::uint8_t* pSum = m_Sums.data() + (nMade - m_nOrigin);
        std::uint8_t btSum = *pSum;
        for (std::ptrdiff_t n = nEnd - nMade; n > 0; --n) {
            btSum = static_cast<std::uint8_t>(btSum + *pByte++);
            *++pSum = btSum;
        }
    }
    return static_cast<std::uint8_t>(m_Sums[static_cast<std::size_t>(nEnd - m_nOrigin)] -
                                     m_Sums[static_cast<std::size_t>(nBegin - m_nOrigin)]);
}

void CRunningSums::DropFront(std::size_t nCount)
{
    if (m_Sums.empty())
        return;
    m_nOrigin -= static_cast<std::ptrdiff_t>(nCount);
    const std::ptrdiff_t nMade = static_cast<std::ptrdiff_t>(m_Sums.size()) - 1 + m_nOrigin;
    if (nMade <= 0) {
        // Nothing summed is left.
        m_Sums.clear();
        m_nOrigin = 0;
        return;
    }
    // The sums of dropped bytes go once they are as many as the rest, so
    // moving the rest costs no more than the bytes dropped did.
    const std::ptrdiff_t nGone = -m_nOrigin;
    if (nGone > 0 && nGone >= static_cast<std::ptrdiff_t>(m_Sums.size()) - nGone) {
        m_Sums.erase(m_Sums.begin(), m_Sums.begin() + nGone);
        m_nOrigin = 0;
    }
}
