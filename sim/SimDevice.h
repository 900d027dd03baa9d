#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "LinePacer.h"
#include "RawString.h"
#include "SimBytes.h"
#include "SimOptions.h"
#include "SimPty.h"
#include "SimRecorder.h"
#include "SimResponder.h"
#include "UniqueFd.h"

struct CSimCounters {
    std::uint64_t nFramesReceived = 0; // valid frames from the host, counted once handled
    std::uint64_t nBadFrames = 0;      // runs of bytes in front of a frame that made none
    std::uint64_t nFramesSent = 0;     // answers and device requests
    std::uint64_t nWrites = 0;         // writes that carried them (a torn answer takes several)
    std::uint64_t nNoiseBytes = 0;
};

enum class ESimState { Idle, Serving, Stopped, HungUp };

// The virtual device: owns a pseudo-terminal registered as COM<n> and
// serves the host on a thread of its own until Stop, or until a hang-up
// fault unplugs it. Every accessor may be called from any thread.
class CSimDevice {
public:
    explicit CSimDevice(CSimOptions Options);
    ~CSimDevice();
    CSimDevice(const CSimDevice&) = delete;
    CSimDevice& operator=(const CSimDevice&) = delete;

    // Creates the terminal and the link and starts serving.
    bool Start(std::string& strError);
    // Ends serving, closes the terminal and removes the link. Idempotent.
    void Stop();

    ESimState GetState() const;
    // Waits until the device stopped serving (a hang-up, or Stop).
    bool WaitUntilEnded(std::chrono::milliseconds tLimit) const;
    std::string GetSlavePath() const;
    std::string GetLinkPath() const;
    unsigned GetCom() const { return m_Options.nCom; }
    const CSimOptions& GetOptions() const { return m_Options; }

    CSimCounters GetCounters() const;
    // Waits until nCount frames were handled: answered and recorded.
    bool WaitForFrames(std::uint64_t nCount, std::chrono::milliseconds tLimit) const;
    // Every valid frame the host sent, in order.
    std::vector<CSimBytes> GetReceivedFrames() const;
    // The images the host wrote and the frame log.
    const CSimRecorder& GetRecorder() const { return m_Recorder; }

private:
    void Serve();
    void CutReceived(std::span<const std::uint8_t> Chunk);
    void HandleFrame(std::span<const std::uint8_t> Frame);
    void Send(std::span<const std::uint8_t> Bytes);
    void SendNoise();
    void HangUp();
    bool IsGone() const;

    const CSimOptions m_Options;
    CSimRecorder m_Recorder;
    CSimResponder m_Responder;
    CLinePacer m_Pacer;
    std::mt19937 m_Random;
    // Serving thread only, after Start.
    CSimPty m_Pty;
    CRawString m_strReceive;
    CUniqueFd m_Wake;

    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Cond;
    ESimState m_eState = ESimState::Idle;
    CSimCounters m_Counters;
    std::vector<CSimBytes> m_Frames;
    std::string m_strSlave;
    std::string m_strLink;

    std::mutex m_StopMutex;
    std::thread m_Thread;
};
