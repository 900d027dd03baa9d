#pragma once
#include <cstdint>
#include <span>

#include "RawString.h"

// One Intel HEX record that passed its checksum, held as bytes:
//   0      start character ':'
//   1      data length n
//   2..3   load offset, low byte first (the text carries it high digit first)
//   4      record type
//   5..4+n data
//   5+n    checksum as read
// A record whose parsing failed holds no bytes, and its accessors answer 0.
// It is also the base of the image classes, whose own record stays empty.
class CPacket_Hex {
public:
    CPacket_Hex() = default;
    CPacket_Hex(const CPacket_Hex&) = default;
    CPacket_Hex& operator=(const CPacket_Hex&) = default;
    CPacket_Hex(CPacket_Hex&&) noexcept = default;
    CPacket_Hex& operator=(CPacket_Hex&&) noexcept = default;
    virtual ~CPacket_Hex() = default;

    // Fills the record from one text line ':' LL AAAA TT data CC, optionally
    // followed by its line end. Digits may be upper or lower case. Answers 1
    // when the line is such a record and its checksum holds; otherwise 0, and
    // the record is left empty.
    int Parse(std::span<const std::uint8_t> btLine);

    std::uint8_t GetLength() const { return m_strBytes.At(1); }
    std::uint16_t GetAddress() const
    {
        return static_cast<std::uint16_t>(m_strBytes.At(2) | (m_strBytes.At(3) << 8));
    }
    std::uint8_t GetType() const { return m_strBytes.At(4); }
    // The n data bytes; null for an empty record.
    const std::uint8_t* GetData() const;
    std::uint8_t GetChecksum() const { return m_strBytes.At(5 + GetLength()); }

    bool IsEmpty() const { return m_strBytes.IsEmpty(); }
    const CRawString& GetBytes() const { return m_strBytes; }

    // The byte two hexadecimal digits write, upper or lower case. False when
    // either character is no digit.
    static bool DecodeByte(std::uint8_t btHigh, std::uint8_t btLow, std::uint8_t& btValue);

    // Longest record line without its line end: a length field of 0xFF.
    static constexpr std::size_t kMaxLineLength = 9 + 2 * 255 + 2;

private:
    CRawString m_strBytes;
};
