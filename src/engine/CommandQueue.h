#pragma once
#include <cstdint>
#include <span>

// The send queue as the parts of an update see it: frames queued in order,
// one command in flight until the device answers it. The worker is the
// queue (its task manager); the update sequence and the images queue onto
// it through this and nothing else. Any thread may call any operation; an
// implementation takes only its own lock and never calls back.
class CCommandQueue {
public:
    virtual ~CCommandQueue() = default;
    // A frame of btCommand with Payload behind every frame queued before it.
    virtual void QueueFrame(std::uint8_t btCommand, std::span<const std::uint8_t> Payload = {}) = 0;
    // The device answered btCommand: the frame in flight leaves when it is
    // one of btCommand, and the next goes.
    virtual void TakeAnswer(std::uint8_t btCommand) = 0;
    // Drops every frame queued.
    virtual void DropAll() = 0;
    // The command of the frame in flight; 0 when none is.
    virtual std::uint8_t GetInFlight() = 0;
    // How many frames have left through an answer of their own.
    virtual std::uint64_t GetAnswerCount() = 0;
};
