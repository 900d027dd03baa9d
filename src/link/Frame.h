#pragma once
#include <cstdint>
#include <functional>
#include <span>

#include "RawString.h"

// 8-bit sum of nCount bytes, from 0; no complement.
std::uint8_t FrameChecksum(const std::uint8_t* pBytes, std::int32_t nCount);

// Finds the first complete, valid frame in strBuf (start byte 0xAC, length
// byte 5..255 taken from the low byte only, command 0x01..0x51, checksum).
bool FindFrame(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail);

// The device's side of the same cut: frames from the host carry payloads of
// up to 4096 bytes and more, so the whole 16-bit length field counts and any
// command byte but 0 is a command.
bool FindFrameWide(const CRawString& strBuf, std::int32_t& nHead, std::int32_t& nTail);

// The receive buffer keeps at most this many bytes of input that never forms
// a frame; past it the oldest bytes go, keeping the last kReceiveKeep so a
// frame still arriving survives.
inline constexpr std::int32_t kReceiveLimit = 64 * 1024;
inline constexpr std::int32_t kReceiveKeep = 255;

// Appends a received chunk to the buffer and hands every complete frame to
// OnFrame, in order. Answers the number of frames delivered.
int CutFrames(CRawString& strReceive, std::span<const std::uint8_t> Chunk,
              const std::function<void(const CRawString&)>& OnFrame, FrameFinder pFinder = &FindFrame);
