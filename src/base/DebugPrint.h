#pragma once

// The program's debug trace: printf-style wide format, at most 1023
// characters a message, one write to the standard output stream as UTF-8,
// buffered as that stream is. No lock, no file, no time stamp. Use %ls for
// wide string arguments.
void DebugPrint(const wchar_t* wzFormat, ...);
