// The terminal around iap-cli on POSIX.
#include "Console.h"

#include <fcntl.h>
#include <unistd.h>

std::vector<std::string> GetArguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

void PrepareConsole() {}

std::FILE* DivertTrace(bool bTrace)
{
    std::fflush(stdout);
    const int fdOut = ::dup(STDOUT_FILENO);
    const int fdTarget = bTrace ? ::dup(STDERR_FILENO) : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (fdOut < 0 || fdTarget < 0)
        return stdout;
    ::dup2(fdTarget, STDOUT_FILENO);
    ::close(fdTarget);
    // A trace that is read shows each line as it happens.
    if (bTrace)
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return ::fdopen(fdOut, "w");
}

bool IsTerminal(std::FILE* pStream) { return ::isatty(::fileno(pStream)) != 0; }
