#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>

// The timing of a UART line: every byte takes 10 bit times (start, 8 data,
// stop), in each direction on its own. With a baud rate of 0 nothing waits.
class CLinePacer {
public:
    using AClock = std::chrono::steady_clock;

    explicit CLinePacer(std::uint32_t dwBaud) : m_dwBaud(dwBaud) {}

    bool IsPacing() const { return m_dwBaud != 0; }
    std::chrono::nanoseconds GetWireTime(std::size_t nBytes) const;
    // nBytes written by the host were just read: on a real line they would
    // still be arriving, one after the other behind what came before.
    void OnReceived(std::size_t nBytes);
    // Sleeps until every byte received so far has come over the line.
    void WaitReceived() const;
    // Sleeps while nBytes go out, behind what was sent before.
    void WaitToSend(std::size_t nBytes);

private:
    std::uint32_t m_dwBaud;
    AClock::time_point m_tReceiveEnd{};
    AClock::time_point m_tSendEnd{};
};
