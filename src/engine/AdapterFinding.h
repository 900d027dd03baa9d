#pragma once
#include <span>
#include <string>
#include <vector>

#include "Language.h"
#include "PortFinding.h"
#include "UsbAdapters.h"

// Why no device was found, as the USB serial adapters plugged in tell it:
// the three common causes leave no port for the search to report on (the
// adapter has no driver, a program such as brltty claimed it, or the cable
// carries no data and no adapter shows up at all).
struct CAdapterFinding {
    enum class EKind {
        NoDriver,   // plugged in, no driver serves it: no serial port
        Claimed,    // plugged in, held by a user-space program instead of its serial driver
        Problem,    // plugged in, the system reports a problem with it (Windows's problem code)
        NoAdapter,  // no adapter of the table at all
    };
    EKind eKind = EKind::NoAdapter;
    CUsbAdapter AAdapter;  // the adapter it is about; empty for NoAdapter
};

// The rules, the same on every system. Nothing when the device was found.
// An adapter with a serial port adds nothing: the port findings already
// say what the search met on it (denied, busy, silent). No adapter at all
// is a finding unless a port finding points at a port the driver must act
// on (a device that sent no information, a port denied or busy).
std::vector<CAdapterFinding> FindAdapterTroubles(std::span<const CUsbAdapter> Adapters, bool bDeviceFound,
                                                 std::span<const CPortFinding> PortFindings);

// The rules over the adapters plugged in now, after a search that found no
// device: the front ends' one call. It reads the system's device tree
// (ReadUsbAdapters), so it blocks for as long; any thread.
std::vector<CAdapterFinding> ReadAdapterTroubles(std::span<const CPortFinding> PortFindings);

// One line (UTF-8) for each finding, in one language, with the fixes that
// eSystem offers.
std::vector<std::string> DescribeAdapters(std::span<const CAdapterFinding> Findings, EHostSystem eSystem,
                                          ELanguage eLanguage);
