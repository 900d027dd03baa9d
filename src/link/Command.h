#pragma once
#include <cstdint>

// Command codes of the device protocol outside the update stages, both
// directions. The stages' own commands (start, go-ahead, data, answers,
// end) are in the stage table (engine/Stages.h).
namespace Cmd {
// host to device
inline constexpr std::uint8_t Acknowledge = 0x0D;   // also the device's status answer
inline constexpr std::uint8_t InfoRequest = 0x45;
inline constexpr std::uint8_t ReadSettingsG = 0x47;
inline constexpr std::uint8_t ReadSettingsI = 0x49;
// device to host
inline constexpr std::uint8_t NoAction = 0x13;
inline constexpr std::uint8_t DeviceRequest = 0x1B;
inline constexpr std::uint8_t DeviceInfo = 0x46;
inline constexpr std::uint8_t SettingsBlock = 0x48;

// The two settings reads: answered with a block, dropped after the queue's
// wait when the device has none.
constexpr bool IsSettingsRead(std::uint8_t btCommand) { return btCommand == ReadSettingsG || btCommand == ReadSettingsI; }
} // namespace Cmd
