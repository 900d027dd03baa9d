#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Language.h"
#include "Stages.h"

namespace CLI {
class App;
}

inline constexpr std::size_t kSimSettingsSize = kSettingsSize;
using CSimSettings = std::array<std::uint8_t, kSimSettingsSize>;

// A moment in the stream of frames from the host: the nCount-th frame, or
// the nCount-th frame of one command when Command is set.
struct CFramePoint {
    std::uint32_t nCount = 0;
    std::optional<std::uint8_t> Command;
    bool operator==(const CFramePoint&) const = default;
};

// One data block the device answers once with a failing status.
struct CFailBlock {
    std::uint8_t btCommand = 0; // 0x06, 0x23, 0x33 or 0x43
    std::uint32_t nBlock = 0;   // 1-based, counted from the stage's start command
    std::uint8_t btStatus = 3;
    bool operator==(const CFailBlock&) const = default;
};

// A frame the device sends unasked, without payload, once it has answered
// the frame At names.
struct CUnsolicited {
    std::uint8_t btCommand = 0;
    CFramePoint At;
    bool operator==(const CUnsolicited&) const = default;
};

enum class EProbeFault { None, Short, OtherCommand };
enum class ETear { None, Bytes, Random };

// Everything the device can be told, on the command line or by a test that
// runs it in-process.
struct CSimOptions {
    std::string strPortDir;
    unsigned nCom = 0;

    // What the device reports in 0x46, high byte first.
    std::uint16_t uFirmwareVersion = 0x0102;
    std::uint16_t uDataVersion = 0x0003;
    std::uint16_t uRadarVersion = 0x1a2b;
    // What 0x46 reports once the stage that writes each has ended: by
    // default the firmware version sent in 0x1C (as a real device does
    // after its restart), and the data and radar versions unchanged.
    std::optional<std::uint16_t> FirmwareVersionAfter;
    std::optional<std::uint16_t> DataVersionAfter;
    std::optional<std::uint16_t> RadarVersionAfter;
    CSimSettings SettingsG = DefaultSettingsG();
    CSimSettings SettingsI = DefaultSettingsI();
    // Answer the firmware start 0x1C with 0x1C before the go-ahead 0x19.
    bool bAcceptProjectStart = false;

    std::string strRecordDir;        // empty: keep the images in memory only
    std::uint32_t dwBaud = 0;        // 0: no line pacing
    std::uint32_t dwAnswerDelayMs = 0;
    int nAnswerDelayCommand = -1;    // the delay is for the answers to this command alone; -1: all
    std::uint32_t dwSeed = 1;        // for torn answers and noise

    // Faults.
    bool bSilent = false;
    EProbeFault eProbeFault = EProbeFault::None;
    std::uint8_t btProbeCommand = 0x13;
    std::uint32_t nProbeFaultTimes = 0; // 0: every 0x45
    // Each time a host opens the port, the probe (its first 0x45) is
    // answered and the answers to the next nLoseInfo 0x45 are lost on the
    // line; -1: all of them.
    long nLoseInfo = 0;
    // Answer nStopAfter frames (of nStopCommand only, when it is set), then
    // nothing more; -1: no stop.
    long nStopAfter = -1;
    int nStopCommand = -1;
    std::vector<CFailBlock> FailBlocks;
    bool bNoMenu = false;
    ETear eTear = ETear::None;
    std::uint32_t dwTearGapUs = 200;
    std::uint32_t nNoiseMax = 0;
    // Unplug once the nHangupAfter-th frame (of nHangupCommand, when set)
    // is answered; -1: never.
    long nHangupAfter = -1;
    int nHangupCommand = -1;
    std::vector<CFramePoint> DeviceRequests;
    std::vector<CUnsolicited> Unsolicited;

    // The language of the help and of what the device's program says.
    ELanguage eLanguage = ELanguage::English;

    // Declares the device's options, its help text (in eLanguage) and their
    // rules on AApp, each option bound to its field of this object
    // (--port-dir falls back to IAP_PORT_DIR). Main thread.
    void Declare(CLI::App& AApp);
    static CSimSettings DefaultSettingsG();
    static CSimSettings DefaultSettingsI();
};
