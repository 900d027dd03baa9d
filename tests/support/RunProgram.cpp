#include "RunProgram.h"

#include <cstdio>
#include <sys/wait.h>

CProgramRun RunProgram(const std::string& strCommand)
{
    CProgramRun ARun;
    std::FILE* pPipe = ::popen((strCommand + " 2>&1").c_str(), "r");
    if (pPipe == nullptr)
        return ARun;
    char szBuf[4096];
    std::size_t n = 0;
    while ((n = std::fread(szBuf, 1, sizeof szBuf, pPipe)) > 0)
        ARun.strOut.append(szBuf, n);
    const int nStatus = ::pclose(pPipe);
    ARun.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return ARun;
}
