#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "Frame.h"
#include "RawString.h"
#include "RunningSums.h"

// Cuts what one side of the line receives into frames. It keeps the bytes
// that formed no frame yet, their running sums as far as made, and how far
// they are known to start none, so a chunk costs about its own bytes
// however much noise waits before it: a noisy line costs the read loop no
// more than a quiet one.
//
// Not thread-safe and takes no lock: one thread at a time (the port's read
// thread in the program).
class CFrameCutter {
public:
    explicit CFrameCutter(EFrameSide eSide = EFrameSide::Host);

    // Appends Chunk and hands every complete frame to OnFrame (which may be
    // empty), in order, on the caller's thread; the frame lives for that call
    // alone, and OnFrame must not call Cut on this cutter. Then bounds what
    // is kept: past kReceiveLimit bytes (kWideReceiveLimit on the device's
    // side) the oldest go, keeping the last kReceiveKeep (kWideReceiveKeep).
    // Answers the number of frames delivered.
    int Cut(std::span<const std::uint8_t> Chunk, const std::function<void(const CRawString&)>& OnFrame);

    // The bytes received that formed no frame yet, oldest first; valid until
    // the next Cut.
    std::span<const std::uint8_t> GetPending() const;

    // How many positions the searches passed in all: it grows with the bytes
    // received, not with the bytes waiting in the buffer.
    std::uint64_t GetScanned() const { return m_nScanned; }

private:
    void Bound();
    // Drops nCount pending bytes from the front.
    void Consume(std::size_t nCount);
    // Drops the bytes already consumed once they are as many as those kept,
    // so that moving the rest costs no more than the bytes consumed did.
    void Compact();

    EFrameSide m_eSide;
    std::vector<std::uint8_t> m_Bytes;  // received; those from m_nStart on are pending
    std::size_t m_nStart = 0;
    CRunningSums m_Sums;                // of the pending bytes
    std::int32_t m_nSettled = 0;        // from m_nStart: no frame starts before it
    std::uint64_t m_nScanned = 0;
};
