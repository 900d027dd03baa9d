// iap-cli as a user runs it, against the virtual device.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "RunProgram.h"
#include "TempPortDir.h"
#include "VirtualDevice.h"

namespace {

using CRun = CProgramRun;

CRun RunCli(const std::string& strArgs) { return RunProgram(std::string(IAP_CLI_PATH) + " " + strArgs); }

class Cli : public testing::Test {
protected:
    Cli()
    {
        m_Files = m_Ports.GetPath() + "/files";
        std::filesystem::create_directory(m_Files);
    }
    void StartDevice() { m_pDevice = ::StartDevice(m_Ports.GetPath(), 3); }
    void WriteFile(const std::string& strName, std::size_t nSize, char cFill = 'x')
    {
        std::ofstream(m_Files + "/" + strName, std::ios::binary) << std::string(nSize, cFill);
    }
    std::string Folder() const { return "--folder " + m_Files; }

    CTempPortDir m_Ports;
    std::string m_Files;
    std::unique_ptr<CSimDevice> m_pDevice;
};

} // namespace

TEST_F(Cli, UpdatesTheDeviceAndSaysSo)
{
    WriteFile("flagdata.bin", 9000, 'c');
    WriteFile("rdfw.bin", 1100, 'r');
    std::ofstream(m_Files + "/ver.txt") << "RD-1\n0102\n0003\n1a2b\n";
    StartDevice();
    const CRun ARun = RunCli(Folder());
    EXPECT_EQ(ARun.nExit, 0) << ARun.strOut;
    EXPECT_NE(ARun.strOut.find("Device on COM3: firmware 0102, data 0003, radar 1a2b"), std::string::npos)
        << ARun.strOut;
    EXPECT_NE(ARun.strOut.find("device RD-1, firmware 0102"), std::string::npos) << ARun.strOut;
    EXPECT_NE(ARun.strOut.find("Обновление базы камер прошло успешно!"), std::string::npos);
    EXPECT_NE(ARun.strOut.find("Обновление ПО радарной части прошло успешно!"), std::string::npos);
    EXPECT_NE(ARun.strOut.find("Успешно обновлено!"), std::string::npos);
    EXPECT_EQ(m_pDevice->GetImage(0x21), CSimDevice::CBytes(9000, 'c'));
    EXPECT_EQ(m_pDevice->GetImage(0x41), CSimDevice::CBytes(1100, 'r'));
}

TEST_F(Cli, ExitStatusTellsWhatHappened)
{
    EXPECT_EQ(RunCli("--bogus").nExit, 64);
    EXPECT_EQ(RunCli("--wait 0").nExit, 64);

    // Nothing to do is said before any port is opened, naming what was
    // looked for and where.
    StartDevice();
    const CRun ANothing = RunCli(Folder());
    EXPECT_EQ(ANothing.nExit, 0) << ANothing.strOut;
    EXPECT_NE(ANothing.strOut.find("Nothing to update: " + m_Files +
                                   " holds none of AC7811_project.hex, flagdata.bin, audioHead.bin, rdfw.bin"),
              std::string::npos)
        << ANothing.strOut;
    EXPECT_EQ(m_pDevice->GetCounters().nFramesReceived, 0u) << "the port was opened";

    // With a device that has nothing to do either (an empty file), after
    // the search.
    WriteFile("rdfw.bin", 0);
    const CRun AEmpty = RunCli(Folder());
    EXPECT_EQ(AEmpty.nExit, 0) << AEmpty.strOut;
    EXPECT_NE(AEmpty.strOut.find("Nothing to update: AC7811_project.hex, flagdata.bin, audioHead.bin, rdfw.bin in"),
              std::string::npos)
        << AEmpty.strOut;
}
