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

// The COM numbers the system has, ascending, however many (COM57 too).
std::vector<unsigned> ListPortNumbers();

// The COM number of a port given by its path (on POSIX a device path or a
// link to one, such as /dev/serial/by-id/...; on Windows COMn or \\.\COMn),
// or 0 when the table has no such port.
unsigned FindPortNumber(const std::string& strPath);

// What the system knows of the device behind a terminal ("ttyUSB0"): on
// Linux the USB adapter's vendor and product ids and names, as sysfs under
// strSysRoot has them ("1a86:7523 USB Serial (QinHeng Electronics)");
// empty when it knows nothing (a pseudo-terminal, a built-in port, Windows).
std::string DescribeTty(const std::string& strTtyName, const std::string& strSysRoot = "/sys");
