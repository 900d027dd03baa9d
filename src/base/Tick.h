#pragma once
#include <cstdint>

// GetTickCount, Sleep and INFINITE, as the platform names them.
#include "Win32Names.h"
