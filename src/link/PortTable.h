#pragma once
#include <string>

// Maps COM port numbers to device paths. With IAP_PORT_DIR set, COM n is
// $IAP_PORT_DIR/COM<n> and a number without such an entry does not exist;
// otherwise the system's serial devices are numbered from COM1 in the order
// ttyUSB*, ttyACM*, then ttyS* with real hardware. Empty when COM n does not
// exist.
std::string GetPortPath(unsigned nPort);
