#pragma once
#include <cstdio>
#include <string>
#include <vector>

// The terminal around iap-cli, as each platform has it (Console_Posix.cpp,
// Console_Win32.cpp). Main thread only, before the worker starts.

// The arguments after the program's name, as UTF-8; on Windows made from
// the system's wide command line, so that a Cyrillic folder arrives whole.
std::vector<std::string> GetArguments(int argc, char** argv);
// Readies standard output and error for UTF-8 text written as it is: the
// console's code page, its escape sequences for the progress line, and no
// "\n" to "\r\n" translation under the trace's own "\r\n".
void PrepareConsole();
// The trace is written to standard output by design; iap-cli keeps its own
// lines on a copy of standard output, answered here, and sends the trace to
// standard error (bTrace) or nowhere.
std::FILE* DivertTrace(bool bTrace);
// Whether the stream is a terminal (the progress line redraws itself there).
bool IsTerminal(std::FILE* pStream);
