#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "DealMsg.h"
#include "NoteRecorder.h"
#include "TestBytes.h"
#include "Work_BK.h"

// The worker, update files and frames for the engine's tests, on every
// platform; DeviceTestKit.h adds the virtual device (POSIX).

using CBytes = std::vector<std::uint8_t>;

// A frame as the device sends it, built by the link's own packet.
CBytes MakeFrameBytes(std::uint8_t btCommand, const CBytes& Payload = {});

// An Intel HEX text: extended linear address records for each 64 KiB
// segment, 16-byte data records, a start linear address record, the end
// record, then the version trailer.
std::string MakeHex(std::uint32_t dwBase, const CBytes& Data, const std::string& strTrailer, bool bCrLf = true);

// The worker and its message handler as the program has them, with short
// times so that tests run quickly. The window comes first, so it outlives
// the worker's threads, which may still be sending to it while they end.
struct CEngine {
    CNoteRecorder ANotes;
    CWork_BK AWork;
    explicit CEngine(CWorkSettings ASettings = Fast());
    ~CEngine() { AWork.Reset(); }
    static CWorkSettings Fast();
    void Start(const CUpdateFolder& AFolder, std::uint32_t dwPortBound = 50);
    // Waits for the device-ready and both settings-read notifications.
    bool WaitConnected();
};
