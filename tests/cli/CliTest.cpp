// iap-cli as a user runs it, against the virtual device. Whole updates
// through it are rows of the fault matrix.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "TempPortDir.h"
#include "VirtualDevice.h"

TEST(Cli, ExitStatusTellsWhatHappened)
{
    const auto RunCli = [](const std::string& strOption, const std::string& strValue = {}) {
        return RunProgram(strValue.empty() ? std::vector<std::string>{IAP_CLI_PATH, strOption}
                                           : std::vector<std::string>{IAP_CLI_PATH, strOption, strValue});
    };
    EXPECT_EQ(RunCli("--bogus").nExit, 64);
    EXPECT_EQ(RunCli("--wait", "0").nExit, 64);

    // Nothing to do is said before any port is opened, naming what was
    // looked for and where.
    const CTempPortDir APorts;
    const std::string strFiles = APorts.GetPath() + "/files";
    std::filesystem::create_directory(strFiles);
    const auto pDevice = StartDevice(APorts.GetPath(), 3);
    const CProgramRun ANothing = RunCli("--folder", strFiles);
    EXPECT_EQ(ANothing.nExit, 0) << ANothing.strOut;
    EXPECT_NE(ANothing.strOut.find("Nothing to update: " + strFiles +
                                   " holds none of AC7811_project.hex, flagdata.bin, audioHead.bin, rdfw.bin"),
              std::string::npos)
        << ANothing.strOut;
    EXPECT_EQ(pDevice->GetCounters().nFramesReceived, 0u) << "the port was opened";

    // With a device that has nothing to do either (an empty file), after
    // the search.
    std::ofstream(strFiles + "/rdfw.bin").close();
    const CProgramRun AEmpty = RunCli("--folder", strFiles);
    EXPECT_EQ(AEmpty.nExit, 0) << AEmpty.strOut;
    EXPECT_NE(AEmpty.strOut.find("Nothing to update: AC7811_project.hex, flagdata.bin, audioHead.bin, rdfw.bin in"),
              std::string::npos)
        << AEmpty.strOut;
}
