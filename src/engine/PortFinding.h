#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the search met on a port that kept it from connecting there, for the
// window and the terminal to tell the user. Ports that do not exist are
// plainly absent and have no finding.
struct CPortFinding {
    enum class EKind {
        Denied,   // the port exists, but this user may not open it
        Busy,     // another program holds the port open
        Silent,   // the port opened, but nothing answered the probe
        TooShort, // something answered, too short to be the device
        Foreign,  // something answered with another command (btCommand)
        NoInfo,   // the device answered the probe, but never its information request
    };
    EKind eKind = EKind::Silent;
    std::uint8_t btPort = 0;   // the COM number
    std::string strPath;       // the device path the COM number stands for
    std::uint8_t btCommand = 0; // Foreign: the command byte it answered with
};

// The finding that tells a user most, as a window shows one: a device that
// sent no information, then a port the user may not open, one another
// program holds, and one where something else answered. Null when none of
// these is among them (a silent port tells nothing new).
const CPortFinding* GetMostUseful(const std::vector<CPortFinding>& Findings);

class CSerial;

// What a port that did not open, or opened and answered wrongly, tells:
// from the serial port's last open and probe. None for a port that does
// not exist, or is no serial port at all.
std::optional<CPortFinding> FindOnPort(std::uint8_t btPort, const CSerial& ASerial);
