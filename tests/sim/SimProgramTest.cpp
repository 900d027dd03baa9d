// iap-sim as a program: its one line, its link, its end.
#include <csignal>
#include <sys/stat.h>

#include "ChildProcess.h"
#include "SimHost.h"

namespace {

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
        CChildProcess ASim({IAP_SIM_PATH, "--port-dir", ADir.GetPath(), "--com", "7"});
        EXPECT_TRUE(ASim.WaitOutput("\n", 10s));
        const std::string strLine = ASim.GetOutput();
        EXPECT_EQ(strLine.rfind("iap-sim: COM7 is " + ADir.PortPath(7) + " -> /dev/pts/", 0), 0u) << strLine;
        EXPECT_TRUE(CSimHost().Open(7));
        ASim.Signal(nSignal);
        EXPECT_EQ(ASim.WaitExit(10s), 0);
        EXPECT_FALSE(LinkExists(ADir.PortPath(7)));
    }
}

TEST(SimProgram, EndsByItselfWhenUnplugged)
{
    CTempPortDir ADir;
    CChildProcess ASim({IAP_SIM_PATH, "--port-dir", ADir.GetPath(), "--com", "8", "--hangup-after", "1"});
    EXPECT_TRUE(PollUntil([&] { return LinkExists(ADir.PortPath(8)); }));
    EXPECT_TRUE(CSimHost().Open(8));
    EXPECT_EQ(ASim.WaitExit(10s), 0);
    EXPECT_FALSE(LinkExists(ADir.PortPath(8)));
}
