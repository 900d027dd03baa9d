#pragma once
#include <cstdint>
#include <vector>

#include "LoadState.h"
#include "Stages.h"

using CPayload = std::vector<std::uint8_t>;

// What an update reads of its images, one frame at a time when it sends
// it: a stage keeps one frame in flight, so no stage is ever copied whole.
// The update images (CUpdateImages) are one; a test may be another.
// Threads: any; an implementation takes only its own lock and never calls
// back.
class CImageSource {
public:
    virtual ~CImageSource() = default;
    // The data frames a stage sends (the firmware's data records, the other
    // images' blocks); 0 for the menu and an empty image.
    virtual std::uint32_t GetTotal(EImage eImage) const = 0;
    // Whether the image's file is damaged, and where.
    virtual bool FindDamage(EImage eImage, CLoadFault& AFault) const = 0;
    // The firmware's version trailer.
    virtual std::uint16_t GetFirmwareVersion() const = 0;
    // The payload of a stage's start command.
    virtual CPayload GetStartPayload(EImage eImage) const = 0;
    // The payload of the stage's data frame nIndex (0 to GetTotal - 1);
    // empty past the end (the images changed meanwhile).
    virtual CPayload GetPayload(EImage eImage, std::uint32_t nIndex) const = 0;
};
