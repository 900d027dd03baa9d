#pragma once
#include <cstdint>
#include <span>

// The program's debug trace: printf-style wide format, at most 1023
// characters a message, one write to the standard output stream as UTF-8,
// buffered as that stream is. No lock, no file, no time stamp. Use %ls for
// wide string arguments.
void DebugPrint(const wchar_t* wzFormat, ...);

// wzHead, then each byte as " %02x", then "\r\n", in messages short
// enough for DebugPrint.
void DebugPrintBytes(const wchar_t* wzHead, std::span<const std::uint8_t> Bytes);
