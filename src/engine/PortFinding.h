#pragma once
#include <cstdint>
#include <string>

// What the search met on a port that kept it from connecting there, for the
// window and the terminal to tell the user.
struct CPortFinding {
    enum class EKind {
        None,   // nothing worth telling
        Denied, // the port exists, but this user may not open it
    };
    EKind eKind = EKind::None;
    std::uint8_t btPort = 0; // the COM number
    std::string strPath;     // the device path the COM number stands for
};
