#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
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

// Idle until opened; Serving while the link exists; then Stopped, or HungUp
// when a hang-up fault unplugged it.
enum class ESimState { Idle, Serving, Stopped, HungUp };

// The virtual device: owns a pseudo-terminal registered as COM<n> and
// serves the host until Stop, or until a hang-up fault unplugs it. It runs
// on a thread of its own (Start), or on the caller's (Open, then Serve).
// Every accessor may be called from any thread.
class CSimDevice {
public:
    using CBytes = CSimBytes;

    explicit CSimDevice(CSimOptions Options);
    // Stops, and waits for a Serve running on another thread to end.
    ~CSimDevice();
    CSimDevice(const CSimDevice&) = delete;
    CSimDevice& operator=(const CSimDevice&) = delete;

    // Open, then Serve on a thread of the device's own.
    bool Start(std::string& strError);
    // Creates the terminal and the link; from now on the host may open it.
    bool Open(std::string& strError);
    // Serves on the calling thread until Stop or a hang-up; closes the
    // terminal and removes the link before it returns.
    void Serve();
    // Ends serving (at once, from any thread), closes the terminal and
    // removes the link. Idempotent.
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
    // Shorthands: every firmware byte at its address; the image of the
    // stage with this start command (0x21, 0x31 or 0x41); the settings
    // block last written (empty before any).
    std::map<std::uint32_t, std::uint8_t> GetFirmware() const;
    CBytes GetImage(std::uint8_t btStageStart) const;
    CBytes GetSettings() const;

private:
    void CutReceived(std::span<const std::uint8_t> Chunk);
    void DropCutShort();
    void HandleFrame(std::span<const std::uint8_t> Frame);
    void Send(std::span<const std::uint8_t> Bytes);
    void SendNoise();
    void RunLoop();
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
    bool m_bLoopClaimed = false; // a Serve runs or ran; it owns the terminal

    std::mutex m_StopMutex;
    std::thread m_Thread;
};
