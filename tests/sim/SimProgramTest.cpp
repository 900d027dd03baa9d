// iap-sim as a program: its one line, its link, its end.
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SimHost.h"

extern char** environ;

namespace {

// The program with its standard output on a pipe.
class CSimProcess {
public:
    explicit CSimProcess(std::vector<std::string> Args)
    {
        Args.insert(Args.begin(), IAP_SIM_PATH);
        int fdPipe[2];
        if (::pipe(fdPipe) != 0)
            return;
        posix_spawn_file_actions_t AActions;
        posix_spawn_file_actions_init(&AActions);
        posix_spawn_file_actions_adddup2(&AActions, fdPipe[1], 1);
        posix_spawn_file_actions_addclose(&AActions, fdPipe[0]);
        std::vector<char*> Argv;
        for (std::string& strArg : Args)
            Argv.push_back(strArg.data());
        Argv.push_back(nullptr);
        if (posix_spawn(&m_Pid, IAP_SIM_PATH, &AActions, nullptr, Argv.data(), environ) != 0)
            m_Pid = -1;
        posix_spawn_file_actions_destroy(&AActions);
        ::close(fdPipe[1]);
        m_pOut = ::fdopen(fdPipe[0], "r");
    }
    ~CSimProcess()
    {
        if (m_Pid > 0) {
            ::kill(m_Pid, SIGKILL);
            Wait();
        }
        if (m_pOut != nullptr)
            std::fclose(m_pOut);
    }
    std::string ReadLine()
    {
        char szLine[512] = {};
        return m_pOut != nullptr && std::fgets(szLine, sizeof szLine, m_pOut) != nullptr ? szLine : "";
    }
    std::string ReadAll()
    {
        std::string strText;
        for (std::string strLine = ReadLine(); !strLine.empty(); strLine = ReadLine())
            strText += strLine;
        return strText;
    }
    void Signal(int nSignal) const { ::kill(m_Pid, nSignal); }
    // The exit code, or -1 when it did not exit by itself.
    int Wait()
    {
        int nStatus = 0;
        const pid_t nPid = m_Pid;
        m_Pid = -1;
        if (nPid <= 0 || ::waitpid(nPid, &nStatus, 0) != nPid)
            return -1;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    }

private:
    pid_t m_Pid = -1;
    std::FILE* m_pOut = nullptr;
};

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
        CSimProcess AProcess({"--port-dir", ADir.GetPath(), "--com", "7"});
        const std::string strLine = AProcess.ReadLine();
        const std::string strLink = ADir.PortPath(7);
        EXPECT_EQ(strLine.rfind("iap-sim: COM7 is " + strLink + " -> /dev/pts/", 0), 0u) << strLine;
        ASSERT_TRUE(LinkExists(strLink));
        {
            CSimHost AHost;
            EXPECT_TRUE(AHost.Open(7));
        }
        AProcess.Signal(nSignal);
        EXPECT_EQ(AProcess.Wait(), 0);
        EXPECT_FALSE(LinkExists(strLink));
    }
}

TEST(SimProgram, EndsByItselfWhenUnplugged)
{
    CTempPortDir ADir;
    CSimProcess AProcess({"--port-dir", ADir.GetPath(), "--com", "8", "--hangup-after", "1"});
    ASSERT_FALSE(AProcess.ReadLine().empty());
    CSimHost AHost;
    EXPECT_TRUE(AHost.Open(8));
    EXPECT_EQ(AProcess.Wait(), 0);
    EXPECT_FALSE(LinkExists(ADir.PortPath(8)));
}

TEST(SimProgram, HelpAndUsageErrors)
{
    CSimProcess AHelp({"--help"});
    EXPECT_EQ(AHelp.ReadAll().rfind("Usage: iap-sim --port-dir DIR --com N [options]\n", 0), 0u);
    EXPECT_EQ(AHelp.Wait(), 0);
    CSimProcess ABad({"--com", "0", "--port-dir", "/tmp"});
    EXPECT_EQ(ABad.Wait(), 2);
}
