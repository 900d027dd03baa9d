#pragma once
#include <cstdint>
#include <span>

// The program's debug trace: printf-style wide format, at most 1023
// characters a message, one write to the standard output stream as UTF-8,
// buffered as that stream is. No file, no time stamp; a tap in memory, when
// the program keeps one, gets a copy (TraceTap.h). Use %ls for wide string
// arguments.
void DebugPrint(const wchar_t* wzFormat, ...);

// wzHead, then each byte as " %02x", then "\r\n", in messages short
// enough for DebugPrint.
void DebugPrintBytes(const wchar_t* wzHead, std::span<const std::uint8_t> Bytes);
