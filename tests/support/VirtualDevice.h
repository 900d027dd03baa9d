#pragma once
// The virtual device for every test that needs one: it lives on a
// pseudo-terminal, so these run on POSIX only.
#include <memory>
#include <string>
#include <vector>

#include "SimDevice.h"

// The virtual device on COM<nCom> of the port folder, serving on its own
// thread; what it received and keeps is read from it directly. Throws when
// it cannot start.
std::unique_ptr<CSimDevice> StartDevice(const std::string& strPortDir, unsigned nCom, CSimOptions AOptions = {});
// The command byte of every frame the device received, in order.
std::vector<std::uint8_t> CommandsReceived(const CSimDevice& ADevice);
