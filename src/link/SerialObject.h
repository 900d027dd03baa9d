#pragma once
#include <cstdint>

// Receiver of a serial port: gets every chunk the port reads, on the port's
// read thread, one chunk at a time.
class CSerialObject {
public:
    virtual ~CSerialObject() = default;
    virtual int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) = 0;
    // Called by Open once the device has answered and the line runs at its
    // working speed, before the read thread starts: the owner starts its send
    // queue and queues its first request here.
    virtual void OnPortOpened(std::uint8_t /*btPort*/) {}
    // Called once, on the read thread, when the device is gone (the adapter
    // was unplugged, the line hung up). The read loop then ends.
    virtual void OnPortLost() {}
    // Called on the read thread after each turn of its loop, whether bytes
    // came or not: at least every read pause while the port is open, so that
    // the owner can keep its time without a thread of its own.
    virtual void OnTick() {}
};
