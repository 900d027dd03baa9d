#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "Stages.h"

// What a frame from the device means, as the reply dispatcher (CDealMsg)
// decodes it. The worker listens and hands the stage events to the update
// sequence. Called on the thread that dispatches (the serial read thread).
class CReplyListener {
public:
    virtual ~CReplyListener() = default;
    // 0x46: the device's information. The versions (firmware, camera
    // database, radar) in the notation of the update files' versions.
    virtual void OnDeviceInfo(std::uint8_t btPort, const std::array<std::wstring, 3>& Versions) = 0;
    // 0x48: a settings block, answering the read btRead (0x47 for block G,
    // 0x49 for block I; any other letter is a block for neither).
    virtual void OnSettingsBlock(std::uint8_t btRead, std::span<const std::uint8_t, kSettingsSize> Block) = 0;
    // A status answer to a settings read: the read has its answer, no block.
    virtual void OnSettingsRefused(std::uint8_t btRead) = 0;
    // 0x1B: the device asks the host to stop and acknowledge.
    virtual void OnDeviceRequest() = 0;
    // A stage's go-ahead.
    virtual void OnGoAhead(const CStage& AStage) = 0;
    // The firmware's start echoed before its go-ahead: the device took it.
    virtual void OnStartAccepted(const CStage& AStage) = 0;
    // A data frame of the stage answered; bWritten by the stage's rule for
    // its statuses (a failing status: not written, btStatus says why).
    virtual void OnBlockAnswer(const CStage& AStage, std::uint8_t btAnswered, std::uint8_t btStatus,
                               bool bWritten) = 0;
    // The end of a stage answered: the firmware's end, the menu written, or
    // the status answer to an end that had ended its stage when written.
    virtual void OnEndAnswered(const CStage& AStage, std::uint8_t btAnswered) = 0;
};
