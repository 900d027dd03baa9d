#pragma once
#include <string>
#include <vector>

// Maps COM port numbers to device paths, by the platform's rules
// (PortTable_Posix.cpp, PortTable_Win32.cpp). On POSIX: with IAP_PORT_DIR
// set, COM n is $IAP_PORT_DIR/COM<n> and a number without such an entry
// does not exist; otherwise the system's serial devices are numbered from
// COM1 in the order ttyUSB*, ttyACM*, then ttyS* with real hardware. On
// Windows COM n is \\.\COMn. Empty when COM n cannot exist.
std::string GetPortPath(unsigned nPort);

// The COM numbers the system has, ascending (for --list-ports).
std::vector<unsigned> ListPortNumbers();
