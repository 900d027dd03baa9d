#pragma once
#include <cstdint>

#include "RawString.h"

// One outgoing frame:
// AC, length (n + 5, low byte first), command, n payload bytes, 8-bit sum of
// command and payload. The inherited buffer stays empty; the frame lives in
// a member.
class CPacket_ISP : public CRawString {
public:
    CPacket_ISP();
    CPacket_ISP(const CPacket_ISP&) = default;
    CPacket_ISP& operator=(const CPacket_ISP&) = default;
    ~CPacket_ISP() override = default;

    // Replaces the whole frame. pPayload may be null only with uLen 0.
    bool SetCommand(std::uint8_t btCommand, const std::uint8_t* pPayload, std::uint16_t uLen);
    std::uint8_t GetCommand() const;
    const std::uint8_t* GetData() const { return m_strFrame.GetData(); }
    std::int32_t GetSize() const { return m_strFrame.GetLength(); }

    static constexpr std::uint16_t kMaxPayload = 65530;
    // The bytes of a frame besides its payload: start, length, command, sum.
    static constexpr std::uint32_t kOverhead = 5;

private:
    CRawString m_strFrame;
};
