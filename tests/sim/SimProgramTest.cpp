// iap-sim as a program: its one line, its link, its end.
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SimHost.h"

namespace {

// Starts the program with its standard output on a pipe; answers its first
// line of output.
pid_t Spawn(std::vector<std::string> Args, std::string& strLine)
{
    Args.insert(Args.begin(), IAP_SIM_PATH);
    std::vector<char*> Argv;
    for (std::string& strArg : Args)
        Argv.push_back(strArg.data());
    Argv.push_back(nullptr);
    int fdPipe[2];
    if (::pipe(fdPipe) != 0)
        return -1;
    const pid_t nPid = ::fork();
    if (nPid == 0) {
        ::dup2(fdPipe[1], 1);
        ::execv(IAP_SIM_PATH, Argv.data());
        ::_exit(127);
    }
    ::close(fdPipe[1]);
    for (char ch = 0; ::read(fdPipe[0], &ch, 1) == 1 && ch != '\n';)
        strLine += ch;
    ::close(fdPipe[0]);
    return nPid;
}

int ExitCode(pid_t nPid)
{
    int nStatus = 0;
    return ::waitpid(nPid, &nStatus, 0) == nPid && WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

bool LinkExists(const std::string& strPath)
{
    struct stat st{};
    return ::lstat(strPath.c_str(), &st) == 0;
}

} // namespace

TEST(SimProgram, SaysWhichLinkItMadeAndRemovesItOnASignal)
{
    for (const int nSignal : {SIGTERM, SIGINT}) {
        CTempPortDir ADir;
        std::string strLine;
        const pid_t nPid = Spawn({"--port-dir", ADir.GetPath(), "--com", "7"}, strLine);
        EXPECT_EQ(strLine.rfind("iap-sim: COM7 is " + ADir.PortPath(7) + " -> /dev/pts/", 0), 0u) << strLine;
        EXPECT_TRUE(CSimHost().Open(7));
        ::kill(nPid, nSignal);
        EXPECT_EQ(ExitCode(nPid), 0);
        EXPECT_FALSE(LinkExists(ADir.PortPath(7)));
    }
}

TEST(SimProgram, EndsByItselfWhenUnplugged)
{
    CTempPortDir ADir;
    std::string strLine;
    const pid_t nPid = Spawn({"--port-dir", ADir.GetPath(), "--com", "8", "--hangup-after", "1"}, strLine);
    EXPECT_TRUE(CSimHost().Open(8));
    EXPECT_EQ(ExitCode(nPid), 0);
    EXPECT_FALSE(LinkExists(ADir.PortPath(8)));
}
