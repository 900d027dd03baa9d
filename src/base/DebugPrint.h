#pragma once

// The program's debug trace: printf-style wide format, at most 1023
// characters a message, one write to standard output as UTF-8. No lock,
// no file, no time stamp. Use %ls for wide string arguments.
void DebugPrint(const wchar_t* wzFormat, ...);
