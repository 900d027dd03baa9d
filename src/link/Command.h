#pragma once
#include <cstdint>

// Command codes of the device protocol, both directions.
namespace Cmd {
// host to device
inline constexpr std::uint8_t DataRecord = 0x06;
inline constexpr std::uint8_t Acknowledge = 0x0D;   // also the device's status answer
inline constexpr std::uint8_t ProjectEnd = 0x1A;
inline constexpr std::uint8_t ProjectStart = 0x1C;  // also the device's acceptance
inline constexpr std::uint8_t EDogEnd = 0x20;
inline constexpr std::uint8_t EDogStart = 0x21;
inline constexpr std::uint8_t EDogBlock = 0x23;
inline constexpr std::uint8_t MusicEnd = 0x30;
inline constexpr std::uint8_t MusicStart = 0x31;
inline constexpr std::uint8_t MusicBlock = 0x33;
inline constexpr std::uint8_t RadarEnd = 0x40;
inline constexpr std::uint8_t RadarStart = 0x41;
inline constexpr std::uint8_t RadarBlock = 0x43;
inline constexpr std::uint8_t InfoRequest = 0x45;
inline constexpr std::uint8_t ReadSettingsG = 0x47;
inline constexpr std::uint8_t ReadSettingsI = 0x49;
inline constexpr std::uint8_t WriteSettings = 0x4A;
// device to host
inline constexpr std::uint8_t NoAction = 0x13;
inline constexpr std::uint8_t ProjectGoAhead = 0x19;
inline constexpr std::uint8_t DeviceRequest = 0x1B;
inline constexpr std::uint8_t EDogGoAhead = 0x22;
inline constexpr std::uint8_t EDogBlockAnswer = 0x24;
inline constexpr std::uint8_t MusicGoAhead = 0x32;
inline constexpr std::uint8_t MusicBlockAnswer = 0x34;
inline constexpr std::uint8_t RadarGoAhead = 0x42;
inline constexpr std::uint8_t RadarBlockAnswer = 0x44;
inline constexpr std::uint8_t DeviceInfo = 0x46;
inline constexpr std::uint8_t SettingsBlock = 0x48;
inline constexpr std::uint8_t SettingsWritten = 0x4B;
} // namespace Cmd
