#include "RawString.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

CRawString::CRawString(const std::uint8_t* pBytes, std::int32_t nCount)
{
    Assign(pBytes, nCount);
}

CRawString::CRawString(const CRawString& Other)
{
    if (Other.m_pData)
        Rebuild(Other.m_pData.get(), Other.m_nLength, nullptr, 0);
}

CRawString& CRawString::operator=(const CRawString& Other)
{
    if (this == &Other)
        return *this;
    if (Other.m_pData)
        Rebuild(Other.m_pData.get(), Other.m_nLength, nullptr, 0);
    else
        Clear();
    return *this;
}

CRawString::CRawString(CRawString&& Other) noexcept
    : m_pData(std::move(Other.m_pData)), m_nLength(Other.m_nLength)
{
    Other.m_nLength = 0;
}

CRawString& CRawString::operator=(CRawString&& Other) noexcept
{
    if (this != &Other) {
        m_pData = std::move(Other.m_pData);
        m_nLength = Other.m_nLength;
        Other.m_nLength = 0;
    }
    return *this;
}

std::span<const std::uint8_t> CRawString::AsSpan() const
{
    return {m_pData.get(), static_cast<std::size_t>(m_nLength)};
}

bool CRawString::Rebuild(const std::uint8_t* pHead, std::int32_t nHead,
                         const std::uint8_t* pTail, std::int32_t nTail)
{
    const std::int64_t nTotal = static_cast<std::int64_t>(nHead) + nTail;
    if (nTotal > std::numeric_limits<std::int32_t>::max() - 2)
        return false;
    std::unique_ptr<std::uint8_t[]> pNew(new (std::nothrow) std::uint8_t[nTotal + 2]);
    if (!pNew)
        return false;
    if (nHead > 0)
        std::memcpy(pNew.get(), pHead, static_cast<std::size_t>(nHead));
    if (nTail > 0)
        std::memcpy(pNew.get() + nHead, pTail, static_cast<std::size_t>(nTail));
    pNew[nTotal] = 0;
    pNew[nTotal + 1] = 0;
    m_pData = std::move(pNew);
    m_nLength = static_cast<std::int32_t>(nTotal);
    return true;
}

bool CRawString::Assign(const std::uint8_t* pBytes, std::int32_t nCount)
{
    if (pBytes == nullptr || nCount < 0)
        return false;
    if (m_pData && pBytes == m_pData.get())
        return false;
    return Rebuild(pBytes, nCount, nullptr, 0);
}

bool CRawString::Append(const std::uint8_t* pBytes, std::int32_t nCount)
{
    if (pBytes == nullptr || nCount <= 0)
        return false;
    // The source may lie inside this buffer; Rebuild copies before it frees.
    return Rebuild(m_pData.get(), m_nLength, pBytes, nCount);
}

bool CRawString::Erase(std::int32_t nPosition, std::int32_t nCount)
{
    if (nCount <= 0 || nPosition < 0 || nPosition >= m_nLength)
        return false;
    nCount = std::min(nCount, m_nLength - nPosition);
    const std::uint8_t* pData = m_pData.get();
    return Rebuild(pData, nPosition, pData + nPosition + nCount, m_nLength - nPosition - nCount);
}

std::int32_t CRawString::Find(const std::uint8_t* pPattern, std::int32_t nPatternLen,
                              std::int32_t nFrom) const
{
    if (pPattern == nullptr || m_nLength == 0 || nPatternLen <= 0 || nPatternLen > m_nLength ||
        nFrom < 0)
        return -1;
    const std::uint8_t* pBegin = m_pData.get();
    const std::uint8_t* pEnd = pBegin + m_nLength;
    if (nFrom > m_nLength - nPatternLen)
        return -1;
    const std::uint8_t* pHit = std::search(pBegin + nFrom, pEnd, pPattern, pPattern + nPatternLen);
    return pHit == pEnd ? -1 : static_cast<std::int32_t>(pHit - pBegin);
}

std::uint8_t CRawString::At(std::int32_t nIndex) const
{
    if (nIndex < 0 || nIndex >= m_nLength)
        return 0;
    return m_pData[nIndex];
}

bool CRawString::Extract(FrameFinder pFinder, CRawString& strFrame, bool bDiscardLeading)
{
    if (m_nLength == 0 || pFinder == nullptr)
        return false;
    std::int32_t nHead = -1;
    std::int32_t nTail = -1;
    if (!pFinder(*this, nHead, nTail))
        return false;
    if (nHead < 0 || nHead > nTail || nTail > m_nLength)
        return false;
    const bool bCopied = strFrame.Rebuild(m_pData.get() + nHead, nTail - nHead, nullptr, 0);
    const bool bErased = bDiscardLeading ? Erase(0, nTail) : Erase(nHead, nTail - nHead);
    return bCopied && bErased;
}

void CRawString::Clear()
{
    m_pData.reset();
    m_nLength = 0;
}
