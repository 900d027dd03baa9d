#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "FrameCutter.h"
#include "SerialObject.h"

using CHostBytes = std::vector<std::uint8_t>;

// The host's side of a serial port in the tests: keeps every byte read and
// the frames they make by the host's rules, and counts what the port
// reports. Any thread; the port's read thread calls in.
class CHostReceiver : public CSerialObject {
public:
    int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) override;
    void OnPortOpened(std::uint8_t btPort) override { m_nOpened = btPort; }
    void OnPortLost() override;

    // Waits until nCount frames arrived in all; with nCount 0, until the
    // device is gone.
    bool WaitFrames(std::size_t nCount, std::chrono::milliseconds tLimit = std::chrono::seconds(10)) const;
    std::vector<CHostBytes> GetFrames() const;
    CHostBytes GetBytes() const;
    // The port the last open reported; how often a lost device was reported.
    int GetOpened() const { return m_nOpened; }
    int GetLost() const { return m_nLost; }

private:
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Cond;
    CFrameCutter m_Cutter;
    CHostBytes m_Bytes;
    std::vector<CHostBytes> m_Frames;
    std::atomic<int> m_nOpened{0};
    std::atomic<int> m_nLost{0};
};
