#include "Packet_ISP.h"

#include "Frame.h"

CPacket_ISP::CPacket_ISP() = default;

bool CPacket_ISP::SetCommand(std::uint8_t btCommand, const std::uint8_t* pPayload,
                             std::uint16_t uLen)
{
    if (uLen > kMaxPayload || (pPayload == nullptr && uLen != 0))
        return false;
    const std::uint16_t uTotal = static_cast<std::uint16_t>(uLen + 5);
    const std::uint8_t btHeader[4] = {0xAC, static_cast<std::uint8_t>(uTotal & 0xFF),
                                      static_cast<std::uint8_t>(uTotal >> 8), btCommand};
    m_strFrame.Clear();
    bool bOk = m_strFrame.Append(btHeader, 4);
    if (uLen > 0)
        bOk = m_strFrame.Append(pPayload, uLen) && bOk;
    const std::uint8_t btSum = FrameChecksum(m_strFrame.GetData() + 3, uLen + 1);
    return m_strFrame.Append(&btSum, 1) && bOk;
}

std::uint8_t CPacket_ISP::GetCommand() const
{
    return m_strFrame.GetLength() < 4 ? 0 : m_strFrame.At(3);
}
