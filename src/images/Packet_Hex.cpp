#include "Packet_Hex.h"

#include <array>

#include "Frame.h"

namespace {

int DigitValue(std::uint8_t btChar)
{
    if (btChar >= '0' && btChar <= '9')
        return btChar - '0';
    if (btChar >= 'A' && btChar <= 'F')
        return btChar - 'A' + 10;
    if (btChar >= 'a' && btChar <= 'f')
        return btChar - 'a' + 10;
    return -1;
}

bool DecodePair(std::span<const std::uint8_t> btLine, std::size_t nPos, std::uint8_t& btValue)
{
    return CPacket_Hex::DecodeByte(btLine[nPos], btLine[nPos + 1], btValue);
}

} // namespace

bool CPacket_Hex::DecodeByte(std::uint8_t btHigh, std::uint8_t btLow, std::uint8_t& btValue)
{
    const int nHigh = DigitValue(btHigh);
    const int nLow = DigitValue(btLow);
    if (nHigh < 0 || nLow < 0)
        return false;
    btValue = static_cast<std::uint8_t>(nHigh * 16 + nLow);
    return true;
}

const std::uint8_t* CPacket_Hex::GetData() const
{
    return m_strBytes.IsEmpty() ? nullptr : m_strBytes.GetData() + 5;
}

int CPacket_Hex::Parse(std::span<const std::uint8_t> btLine)
{
    m_strBytes.Clear();
    if (btLine.size() < 11 || btLine[0] != ':')
        return 0;

    // Record bytes in the order of the class comment: the offset is swapped
    // to low byte first.
    std::array<std::uint8_t, 6 + 255> btRecord{};
    btRecord[0] = btLine[0];
    std::uint8_t btHigh = 0;
    std::uint8_t btLow = 0;
    if (!DecodePair(btLine, 1, btRecord[1]) || !DecodePair(btLine, 3, btHigh) ||
        !DecodePair(btLine, 5, btLow) || !DecodePair(btLine, 7, btRecord[4]))
        return 0;
    btRecord[2] = btLow;
    btRecord[3] = btHigh;

    const std::size_t nData = btRecord[1];
    const std::size_t nText = 11 + 2 * nData;
    if (btLine.size() < nText)
        return 0;
    for (std::size_t i = nText; i < btLine.size(); ++i) {
        if (btLine[i] != '\r' && btLine[i] != '\n')
            return 0;
    }

    for (std::size_t i = 0; i <= nData; ++i) {
        if (!DecodePair(btLine, 9 + 2 * i, btRecord[5 + i]))
            return 0;
    }
    // The 8-bit sum of length, offset, type, data and checksum is 0 for a
    // sound record; it is the same sum the device frames carry.
    const auto nSummed = static_cast<std::int32_t>(5 + nData);
    if (FrameChecksum(btRecord.data() + 1, nSummed) != 0)
        return 0;
    if (!m_strBytes.Assign(btRecord.data(), static_cast<std::int32_t>(6 + nData)))
        return 0;
    return 1;
}
