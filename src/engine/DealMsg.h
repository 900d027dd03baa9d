#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "RawString.h"
#include "Stages.h"

// What one frame from the device means.
struct CReply {
    enum class EKind {
        None,            // nothing to act on: too short for its kind, 0x13, a command outside the protocol
        DeviceInfo,      // 0x46: the device's port and versions
        SettingsBlock,   // 0x48: a settings block answering the read btRead
        SettingsRefused, // a status answer to a settings read: the read has its answer, no block
        DeviceRequest,   // 0x1B: the device asks the host to stop and acknowledge
        GoAhead,         // a stage's go-ahead
        StartAccepted,   // the firmware's start echoed before its go-ahead
        BlockAnswer,     // a data frame of the stage answered (bWritten by the stage's rule)
        EndAnswered,     // the end of a stage answered (the firmware's end, the menu written)
    };
    EKind eKind = EKind::None;
    const CStage* pStage = nullptr;  // the stage table's row, for the stage replies
    std::uint8_t btAnswered = 0;     // the command a status answer answers; btRead for settings
    std::uint8_t btStatus = 0;
    bool bWritten = false;           // BlockAnswer: the block counts as written by its stage's rule
    std::uint8_t btPort = 0;         // DeviceInfo
    std::array<std::wstring, 3> Versions; // DeviceInfo: firmware, camera database, radar
    CSettingsBlock Block{};          // SettingsBlock
};

// The device's messages: decodes every frame the device sends into what it
// means, and translates device status codes into texts. A plain decoder: it
// holds nothing but the status texts and writes the frames' trace lines.
// Any thread; an object may be shared.
class CDealMsg {
public:
    // One frame, start byte to checksum.
    CReply Decode(const CRawString& strFrame) const;

    static std::wstring GetStatusText(std::uint8_t btStatus);
};
