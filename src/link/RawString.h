#pragma once
#include <cstdint>
#include <memory>
#include <span>

class CRawString;

// Finds one frame in a buffer: nHead is the index of its first byte, nTail
// one past its last.
using FrameFinder = bool (*)(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail);

// Growable byte buffer that owns its bytes. While it holds an allocation, two
// zero bytes follow the contents, so they can also be read as a terminated
// 8-bit or 16-bit string. Every change makes an allocation of the exact new
// size; copies are deep. Operations answer false and change nothing when
// their arguments are out of range.
class CRawString {
public:
    CRawString() = default;
    CRawString(const std::uint8_t* pBytes, std::int32_t nCount);
    CRawString(const CRawString& Other);
    CRawString& operator=(const CRawString& Other);
    CRawString(CRawString&& Other) noexcept;
    CRawString& operator=(CRawString&& Other) noexcept;
    virtual ~CRawString() = default;

    bool Assign(const std::uint8_t* pBytes, std::int32_t nCount);
    bool Append(const std::uint8_t* pBytes, std::int32_t nCount);
    bool Erase(std::int32_t nPosition, std::int32_t nCount);
    std::int32_t Find(const std::uint8_t* pPattern, std::int32_t nPatternLen, std::int32_t nFrom) const;
    std::uint8_t At(std::int32_t nIndex) const;
    bool Extract(FrameFinder pFinder, CRawString& strFrame, bool bDiscardLeading);
    void Clear();

    const std::uint8_t* GetData() const { return m_pData.get(); }
    std::int32_t GetLength() const { return m_nLength; }
    bool IsEmpty() const { return m_nLength == 0; }
    bool IsAllocated() const { return m_pData != nullptr; }
    std::span<const std::uint8_t> AsSpan() const;

private:
    // Replaces the contents with nHead bytes of pHead followed by nTail of pTail.
    bool Rebuild(const std::uint8_t* pHead, std::int32_t nHead,
                 const std::uint8_t* pTail, std::int32_t nTail);

    std::unique_ptr<std::uint8_t[]> m_pData;
    std::int32_t m_nLength = 0;
};
