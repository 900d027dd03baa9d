#pragma once
#include <cstdint>
#include <vector>

// Bytes as the device keeps and sends them.
using CSimBytes = std::vector<std::uint8_t>;
