#pragma once
#include <cstdint>
#include <span>

#include "RawString.h"
#include "RunningSums.h"

// 8-bit sum of nCount bytes, from 0; no complement.
std::uint8_t FrameChecksum(const std::uint8_t* pBytes, std::int32_t nCount);

// Whose rules a cut follows. The host's: the length byte 5..255 taken from
// the low byte only, commands 0x01..0x51. The device's: frames from the host
// carry payloads of up to 4096 bytes and more, so the whole 16-bit length
// field counts and any command byte but 0 is a command.
enum class EFrameSide { Host, Device };

// Finds the first complete, valid frame in strBuf (start byte 0xAC, length,
// command, checksum) by the host's rules.
bool FindFrame(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail);

// The same by the device's rules.
bool FindFrameWide(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail);

// One search of a buffer that grows at its end between searches.
struct CFrameSearch {
    std::int32_t nHead = -1;   // the frame found: its first byte
    std::int32_t nTail = -1;   // and one past its last
    std::int32_t nSettled = 0; // no position before it starts a frame, whatever bytes are appended
    std::int32_t nScanned = 0; // how many positions this search passed
};

// Finds the first frame at or after nFrom, which must be a settled position
// of an earlier search of the same bytes (or 0): the answer is then the one
// a search of the whole buffer gives. ASums are the running sums of Bytes,
// fresh or kept from earlier searches of the same bytes.
bool FindFrameFrom(std::span<const std::uint8_t> Bytes, EFrameSide eSide, std::int32_t nFrom,
                   CFrameSearch& ASearch, CRunningSums& ASums);

// A receive buffer keeps at most this many bytes of input that never forms
// a frame; past it the oldest bytes go, keeping the last kReceiveKeep so a
// frame still arriving survives (at most 255 bytes long on the host's side,
// 65535 on the device's).
inline constexpr std::int32_t kReceiveLimit = 64 * 1024;
inline constexpr std::int32_t kReceiveKeep = 255;
inline constexpr std::int32_t kWideReceiveLimit = 2 * 65536;
inline constexpr std::int32_t kWideReceiveKeep = 65535;
