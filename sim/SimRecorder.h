#pragma once
#include "Language.h"
#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "SimBytes.h"
#include "SimFlash.h"
#include "Stages.h"

enum class ESimImage { EDog, Music, Radar };

// The image a block stage of the stage table fills.
constexpr ESimImage ToSimImage(EImage eImage)
{
    return eImage == EImage::EDog ? ESimImage::EDog : eImage == EImage::Music ? ESimImage::Music : ESimImage::Radar;
}
enum class ESimLogKind { Received, Sent, Bad, Noise };

// One line of the frame log.
struct CSimLogEntry {
    std::uint32_t dwMs = 0; // since the device started
    ESimLogKind eKind = ESimLogKind::Received;
    CSimBytes Bytes;
    // When it was logged, for callers in the same process that time the
    // host against the device in finer steps than the log file shows.
    std::chrono::steady_clock::time_point tAt{};
};

// What one update stage put on the line, by the device's log: a device
// frame belongs to the stage of the host frame before it (one command is in
// flight at a time).
struct CSimTraffic {
    std::uint64_t nFramesOut = 0; // host to device
    std::uint64_t nFramesIn = 0;  // device to host
    std::uint64_t nBytesOut = 0;
    std::uint64_t nBytesIn = 0;
};
// Index 1 to 5 the stages, 0 the frames outside any (the search, the menu reads).
std::array<CSimTraffic, 6> CountStageTraffic(std::span<const CSimLogEntry> Log);

// What the device holds after the host has written to it, kept in memory
// and, with a record folder, written out as each stage ends. The device's
// thread writes; any thread may read.
class CSimRecorder {
public:
    // What it says of a file it cannot write is in eLanguage.
    explicit CSimRecorder(std::string strDir = {}, ELanguage eLanguage = ELanguage::English);
    CSimRecorder(const CSimRecorder&) = delete;
    CSimRecorder& operator=(const CSimRecorder&) = delete;

    // Creates the record folder and opens frames.log in it.
    bool Open(std::string& strError);
    void Log(ESimLogKind eKind, std::span<const std::uint8_t> Bytes);

    void BeginFirmware();
    void WriteFirmware(std::uint32_t dwAddress, std::span<const std::uint8_t> Bytes);
    void EndFirmware();
    // The radar stage announces its size; the other stages do not.
    void BeginImage(ESimImage eImage, std::optional<std::uint32_t> dwAnnounced = std::nullopt);
    void AppendImage(ESimImage eImage, std::span<const std::uint8_t> Bytes);
    void EndImage(ESimImage eImage);
    void WriteSettings(std::span<const std::uint8_t> Bytes);

    CSimBytes GetFirmware(std::uint32_t& dwBase) const;
    std::vector<CSimRange> GetFirmwareRanges() const;
    std::map<std::uint32_t, std::uint8_t> GetFirmwareBytes() const;
    CSimBytes GetImage(ESimImage eImage) const;
    std::optional<std::uint32_t> GetAnnouncedRadarSize() const;
    bool RadarSizeMatched() const;
    std::optional<CSimBytes> GetSettings() const;
    std::vector<CSimLogEntry> GetLog() const;
    // The frame log as frames.log holds it.
    std::string GetLogText() const;
    const std::string& GetDir() const { return m_strDir; }

    static std::string FormatLogLine(const CSimLogEntry& AEntry);
    static std::string FormatMap(std::span<const CSimRange> Ranges, std::uint64_t dwSpan);
    static const char* GetFileName(ESimImage eImage);

private:
    void WriteFile(const std::string& strName, std::span<const std::uint8_t> Bytes) const;
    void WriteFile(const std::string& strName, const std::string& strText) const;
    static std::size_t Index(ESimImage eImage) { return static_cast<std::size_t>(eImage); }

    const std::string m_strDir;
    const ELanguage m_eLanguage;
    const std::chrono::steady_clock::time_point m_tStart = std::chrono::steady_clock::now();
    std::ofstream m_LogFile; // device thread only

    mutable std::mutex m_Mutex;
    CSimFlash m_Flash;
    CSimBytes m_Images[3];
    std::optional<std::uint32_t> m_dwAnnouncedRadar;
    std::optional<CSimBytes> m_Settings;
    std::vector<CSimLogEntry> m_Log;
};
