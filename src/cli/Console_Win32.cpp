// The terminal around iap-cli on Windows: the wide command line, a UTF-8
// console with escape sequences, and binary standard streams (the trace
// writes "\r\n" itself; text mode would make it "\r\r\n").
#include "Console.h"

#include <fcntl.h>
#include <io.h>

#include "TextCodec.h"
#include "Win32Names.h"

#include <shellapi.h>

std::vector<std::string> GetArguments(int /*argc*/, char** /*argv*/)
{
    std::vector<std::string> Args;
    int nArgs = 0;
    wchar_t** ppArgs = ::CommandLineToArgvW(::GetCommandLineW(), &nArgs);
    if (ppArgs == nullptr)
        return Args;
    for (int i = 1; i < nArgs; ++i)
        Args.push_back(WideToUtf8(ppArgs[i]));
    ::LocalFree(ppArgs);
    return Args;
}

void PrepareConsole()
{
    ::SetConsoleOutputCP(CP_UTF8);
    for (const DWORD dwStream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE hStream = ::GetStdHandle(dwStream);
        DWORD dwMode = 0;
        if (hStream != INVALID_HANDLE_VALUE && ::GetConsoleMode(hStream, &dwMode))
            ::SetConsoleMode(hStream, dwMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::FILE* DivertTrace(bool bTrace)
{
    std::fflush(stdout);
    const int fdOut = _dup(_fileno(stdout));
    const int fdTarget = bTrace ? _dup(_fileno(stderr)) : _open("NUL", _O_WRONLY | _O_BINARY);
    if (fdOut < 0 || fdTarget < 0)
        return stdout;
    _dup2(fdTarget, _fileno(stdout));
    _close(fdTarget);
    if (bTrace)
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::FILE* pOut = _fdopen(fdOut, "wb");
    return pOut != nullptr ? pOut : stdout;
}

bool IsTerminal(std::FILE* pStream) { return _isatty(_fileno(pStream)) != 0; }
