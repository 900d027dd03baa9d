#pragma once
#include <string>

// What a program run through the shell left: its exit status (-1 when it
// did not exit normally) and its standard output and error, interleaved.
struct CProgramRun {
    int nExit = -1;
    std::string strOut;
};

CProgramRun RunProgram(const std::string& strCommand);
