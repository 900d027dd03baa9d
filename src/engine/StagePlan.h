#pragma once
#include <cstdint>

#include "Stages.h"

class CUpdateImages;

// What one stage puts on the line: its data frames, and the bytes both
// ways (its start, data frames and end; the device's go-ahead, answers and
// end answer), for telling the user beforehand what an update will take.
struct CStagePlan {
    std::uint32_t nUnits = 0;  // data frames (firmware records, blocks); 1 for the menu
    std::uint64_t nBytesOut = 0;
    std::uint64_t nBytesIn = 0;
    // The line time at dwBaud, 10 bits a byte, the two directions one after
    // the other (one command is in flight at a time).
    double GetWireSeconds(std::uint32_t dwBaud) const;
};

// The plan of a stage from the images (the menu stage: one frame carrying
// the 73-byte menu). Empty for a stage with nothing to send.
CStagePlan PlanStage(const CStage& AStage, const CUpdateImages& AImages);
