#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "NoteRecorder.h"
#include "Work_BK.h"

using ABenchClock = std::chrono::steady_clock;

// The worker as it ships, plus time stamps: each stage's start command
// written to the port (where the stage's time begins), every read handed
// to the worker and every firmware record written.
class CBenchWork final : public CWork_BK {
public:
    CBenchWork();
    ~CBenchWork() override;
    int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) override;
protected:
    bool SendData(const std::uint8_t* pBytes, std::uint32_t dwCount) override;

public:
    // Start command written for stage 1 to 5; false when it never was.
    bool GetStartWritten(int nStage, ABenchClock::time_point& tAt) const;
    std::vector<ABenchClock::time_point> GetReads() const;
    std::vector<ABenchClock::time_point> GetRecordWrites() const;
    // Frames written through the queue (the probe is not among them).
    std::uint64_t GetFramesWritten() const;

private:
    mutable std::mutex m_Mutex;
    ABenchClock::time_point m_tStart[6]{};
    bool m_bStarted[6]{};
    std::vector<ABenchClock::time_point> m_Reads;
    std::vector<ABenchClock::time_point> m_RecordWrites;
    std::uint64_t m_nFramesWritten = 0;
};
