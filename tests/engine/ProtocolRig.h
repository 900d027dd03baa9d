#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "DealMsg.h"
#include "NoteRecorder.h"
#include "SimRecorder.h"
#include "SimResponder.h"
#include "TestBytes.h"
#include "UpdateImages.h"
#include "UpdateProtocol.h"

using CResults = std::vector<std::pair<int, int>>;
using CCommands = std::vector<std::uint8_t>;

// The update protocol and the virtual device's own rules (CSimResponder,
// the part of iap-sim that answers, without its line) on the test's thread,
// with a clock the test moves: what the protocol asks to write is answered
// at once by the device, and what the device answers is decoded and fed
// back, until both are quiet. No port, thread or sleep: every run is the
// same.
class CProtocolRig {
public:
    explicit CProtocolRig(const CSimOptions& ADevice = {}, CProtocolTimes ATimes = {});

    // The update files to read (and read again after a change).
    void Load(const CUpdateFolder& AFiles) { AImages.Load(AFiles.GetPath() / ""); }
    // The device answers its probe on COM3 and the protocol connects;
    // answers whether it is ready once everything due has happened.
    bool Connect();
    EStartResult Start();
    // Starts an update and runs the clock until its whole result (ten
    // virtual minutes at most); answers the stage results.
    CResults Run();
    // Moves the clock on by tStep, stopping at each moment the protocol
    // asked to be woken.
    void Advance(CMillis tStep);
    // A frame from the device that nobody asked for.
    void Inject(const CSimBytes& Frame);
    void Pump();

    CResults Results() const { return ANotes.Results(); }
    // The commands written since the connection's four (probe answered,
    // 0x45, 0x47, 0x49).
    CCommands UpdateWire() const { return CCommands(Wire.begin() + std::min<std::size_t>(3, Wire.size()), Wire.end()); }

    CUpdateImages AImages;
    CUpdateProtocol ACore;
    CSimRecorder ARecorder;
    CSimResponder ADevice;
    CMillis tNow{0};
    CCommands Wire;              // every command written, in order (the probe is the port's, not among them)
    std::vector<CMillis> WireTimes; // when each was written
    CNoteRecorder ANotes;        // every notification, in order
    std::optional<std::uint8_t> FailWriteOf; // the writes of this command fail

private:
    void Deliver(const CSimBytes& Frame);

    const CDealMsg m_Deal{};
    std::deque<CSimBytes> m_Incoming;
};
