#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "RawString.h"
#include "SimOptions.h"

// The radar detector in software: the device's side of the protocol on the
// master of a pseudo-terminal whose slave is linked as DIR/COM<N>. It keeps
// what it is sent as its flash would, and misbehaves when told to.
class CSimDevice {
public:
    using CBytes = std::vector<std::uint8_t>;

    explicit CSimDevice(CSimOptions AOptions);
    ~CSimDevice();
    CSimDevice(const CSimDevice&) = delete;
    CSimDevice& operator=(const CSimDevice&) = delete;

    // Creates the pseudo-terminal and the link; false when either fails.
    bool Open(std::string& strError);
    // Serves until Stop (from any thread or a signal handler's flag).
    void Serve();
    void Stop() { m_bStop = true; }
    const std::string& GetLinkPath() const { return m_strLink; }
    const std::string& GetSlavePath() const { return m_strSlave; }

    // What the device now holds.
    std::map<std::uint32_t, std::uint8_t> GetFirmware() const;
    CBytes GetImage(std::uint8_t btStageStart) const;  // 0x21, 0x31 or 0x41
    std::uint32_t GetAnnouncedRadarSize() const;
    CBytes GetSettings() const;
    long GetFramesReceived() const { return m_nFrames; }
    long GetBytesIgnored() const { return m_nIgnored; }

private:
    CBytes Answer(const CRawString& strFrame);
    void Handle(const CRawString& strFrame);
    void WriteAnswer(const CBytes& Frame);
    void PaceBytes(std::size_t nBytes);
    void Log(const char* szDirection, const std::uint8_t* pBytes, std::size_t nCount);
    void Record(std::uint8_t btEndCommand);
    void Hangup();

    CSimOptions m_Options;
    int m_fdMaster = -1;
    int m_fdSlave = -1;
    std::string m_strSlave;
    std::string m_strLink;
    std::atomic<bool> m_bStop{false};
    std::atomic<long> m_nFrames{0};
    std::atomic<long> m_nIgnored{0};
    long m_nCounted = 0;   // frames counted for --stop-after
    bool m_bSilenced = false;
    bool m_bProbed = false;
    std::map<std::uint8_t, long> m_nBlockIndex;
    std::map<std::uint8_t, bool> m_bFailedOnce;
    CRawString m_strReceive;
    std::chrono::steady_clock::time_point m_tLine;  // when the line is next free
    std::chrono::steady_clock::time_point m_tStart;
    std::FILE* m_pLog = nullptr;
    unsigned m_nNoiseSeed = 12345;

    mutable std::mutex m_Mutex;
    std::map<std::uint32_t, std::uint8_t> m_Firmware;
    std::map<std::uint8_t, CBytes> m_Images;
    std::uint32_t m_dwRadarSize = 0;
    CBytes m_Settings;
};
