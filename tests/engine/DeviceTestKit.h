#pragma once
// The engine's test kit with the virtual device (POSIX).
#include "EngineTestKit.h"
#include "TempPortDir.h"
#include "VirtualDevice.h"
