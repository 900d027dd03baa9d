#pragma once
// The virtual device for the engine's, the window's and the fault tests: it
// lives on a pseudo-terminal, so these run on POSIX only.
#include <memory>
#include <string>
#include <vector>

#include "EngineTestKit.h"
#include "PtyPeer.h"
#include "SimDevice.h"
#include "TempPortDir.h"

// The virtual device on COM<nCom> of the port folder, serving on its own
// thread; what it received and keeps is read from it directly.
std::unique_ptr<CSimDevice> StartDevice(const std::string& strPortDir, unsigned nCom, CSimOptions AOptions = {});
std::vector<std::uint8_t> CommandsReceived(const CSimDevice& ADevice);
