#pragma once
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "SimRecorder.h"

// What one update stage put on the wire, as the device logged it.
struct CStageRow {
    int nStage = 0;
    std::uint64_t nFramesOut = 0; // host to device
    std::uint64_t nFramesIn = 0;  // device to host
    std::uint64_t nBytesOut = 0;
    std::uint64_t nBytesIn = 0;
};

// Frames and bytes per stage 1 to 5, as the device counts them.
std::vector<CStageRow> CountStageRows(std::span<const CSimLogEntry> Log);

// Host cost of each round trip of the firmware stage: from the device's
// answer to a data record written to the next data record received.
std::vector<double> MeasureRecordTurns(std::span<const CSimLogEntry> Log);

// The same round trips cut in three at the host's own stamps: the answer's
// last byte on the line to the host's read, the read to the next record
// written, that write to the device's read. On a paced line the device
// logs an answer as it starts to go out and a frame once its last byte is
// in; the wire times are taken off both.
struct CTurnParts {
    std::vector<double> ToHost;
    std::vector<double> InHost;
    std::vector<double> ToDevice;
};
CTurnParts SplitRecordTurns(std::span<const CSimLogEntry> Log,
                            std::span<const std::chrono::steady_clock::time_point> HostReads,
                            std::span<const std::chrono::steady_clock::time_point> RecordWrites,
                            std::uint32_t dwBaud);

// Time at a line rate of dwBaud, 10 bits a byte.
double GetWireSeconds(std::uint64_t nBytes, std::uint32_t dwBaud);
