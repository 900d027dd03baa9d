#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "SimBytes.h"
#include "SimOptions.h"
#include "SimRecorder.h"

// What the device does about one frame from the host.
struct CSimReaction {
    std::vector<CSimBytes> Answers; // written in this order
    bool bDeviceRequest = false;    // then send the device request 0x1B
    bool bHangup = false;           // then go, as if unplugged
};

// The device's side of the protocol: answers each command, keeps what the
// host writes in the recorder, and misbehaves as the options say. Knows
// nothing about the line; runs on the device's thread only.
class CSimResponder {
public:
    CSimResponder(CSimOptions Options, CSimRecorder& ARecorder);

    // Frame holds exactly one frame: start byte to checksum.
    CSimReaction React(std::span<const std::uint8_t> Frame);
    bool IsAnswering() const { return !m_Options.bSilent && !m_bStopped; }
    // A host opened the port: its next 0x45 is its probe.
    void OnHostOpened() { m_nInfoSinceOpen = 0; }

    static CSimBytes MakeFrame(std::uint8_t btCommand, std::span<const std::uint8_t> Payload = {});
    static CSimBytes MakeDeviceRequest();

private:
    bool IsReached(const CFramePoint& APoint, std::uint8_t btCommand) const;
    bool IsPastStop(std::uint8_t btCommand) const;
    // Counts one block of the stage; answers the failing status it gets,
    // if it is to fail.
    std::optional<std::uint8_t> TakeFailure(std::uint8_t btDataCommand);
    CSimBytes MakeInfoAnswer(std::span<const std::uint8_t> Payload);
    void Answer(std::uint8_t btCommand, std::span<const std::uint8_t> Payload, CSimReaction& AReaction);
    // The commands of the update stages, by the stage table.
    void AnswerStage(std::uint8_t btCommand, std::span<const std::uint8_t> Payload, CSimReaction& AReaction);

    const CSimOptions m_Options;
    CSimRecorder& m_Recorder;
    CSimSettings m_SettingsG;
    // What 0x46 reports now, and the firmware version the running firmware
    // stage was started with.
    std::uint16_t m_uFirmwareVersion, m_uDataVersion, m_uRadarVersion;
    std::optional<std::uint16_t> m_FirmwareSent;
    std::uint64_t m_nFrames = 0;
    std::map<std::uint8_t, std::uint64_t> m_CommandCounts;
    std::map<std::uint8_t, std::uint32_t> m_BlockCounts; // per data command, since its start command
    std::vector<bool> m_FailDone;
    std::uint32_t m_nProbeFaults = 0;
    std::uint64_t m_nInfoSinceOpen = 0; // 0x45 frames since a host opened the port
    bool m_bStopped = false;
};
