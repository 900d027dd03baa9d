// iap-cli as a user runs it, against the virtual device. Whole updates
// through it are rows of the fault matrix.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "EngineTestKit.h"
#include "FakeSysfs.h"
#include "JsonWriter.h"
#include "MockLogind.h"
#include "SleepInhibitor.h"
#include "TextCodec.h"
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
    const CUpdateFolder AFiles;
    const std::string strFiles = AFiles.GetPath().string();
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
    AFiles.Write("rdfw.bin", std::string());
    const CProgramRun AEmpty = RunCli("--folder", strFiles);
    EXPECT_EQ(AEmpty.nExit, 0) << AEmpty.strOut;
    EXPECT_NE(AEmpty.strOut.find("Nothing to update: AC7811_project.hex, flagdata.bin, audioHead.bin, rdfw.bin in"),
              std::string::npos)
        << AEmpty.strOut;
}

// --port takes one port, by number or by path, and probes no other; a port
// that is not there, or on which nothing answers, ends with exit 2 and says so.
TEST(Cli, OnePortAloneByNumberOrPath)
{
    const CTempPortDir APorts;
    const CUpdateFolder AFiles;
    const std::string strFiles = AFiles.GetPath().string();
    AFiles.Write("flagdata.bin", std::string(5000, 'x'));
    const auto pFirst = StartDevice(APorts.GetPath(), 3);
    const auto pSecond = StartDevice(APorts.GetPath(), 7);
    CSimOptions ASilent;
    ASilent.bSilent = true;
    const auto pSilent = StartDevice(APorts.GetPath(), 5, ASilent);
    const auto Cli = [&](const std::string& strPort) {
        return RunProgram({IAP_CLI_PATH, "--folder", strFiles, "--port", strPort, "--wait", "2"});
    };
    for (const std::string& strPort : {std::string("7"), std::string("COM7"), APorts.PortPath(7)}) {
        const CProgramRun ARun = Cli(strPort);
        EXPECT_EQ(ARun.nExit, 0) << ARun.strOut;
        EXPECT_NE(ARun.strOut.find("Device on COM7: "), std::string::npos) << ARun.strOut;
    }
    EXPECT_EQ(pSecond->GetImage(0x21), CBytes(5000, 'x'));
    const CProgramRun ANone = Cli("9");
    EXPECT_EQ(ANone.nExit, 2);
    EXPECT_NE(ANone.strOut.find("No such port: 9"), std::string::npos) << ANone.strOut;
    const CProgramRun ASilentRun = Cli("5");
    EXPECT_EQ(ASilentRun.nExit, 2);
    EXPECT_NE(ASilentRun.strOut.find("No device answered on COM5.\n  COM5 (" + APorts.PortPath(5) +
                                     ") opened, but nothing answered."),
              std::string::npos)
        << ASilentRun.strOut;
    EXPECT_EQ(pFirst->GetCounters().nFramesReceived, 0u) << "COM3 was probed";
}

// No port at all, but a CH340 whose driver is missing: said below the ports.
TEST(Cli, NoDeviceNamesTheAdapterWithoutADriver)
{
    const CTempPortDir APorts;
    const CFakeSysfs ASysfs;
    ASysfs.AddDevice("1-1", "1a86:7523", "USB Serial");
    const CUpdateFolder AFiles;
    AFiles.Write("rdfw.bin", std::string(100, 'r'));
    const std::filesystem::path Report = AFiles.GetPath() / "report.txt";
    const CProgramRun ARun = RunProgram(
        {IAP_CLI_PATH, "--folder", AFiles.GetPath().string(), "--wait", "1", "--report", Report.string()});
    EXPECT_EQ(ARun.nExit, 2);
    const std::string strSaid = "The CH340/CH341 adapter (1a86:7523, USB Serial) is plugged in, but no driver serves "
                                "it: the kernel module ch341 is not loaded.";
    EXPECT_NE(ARun.strOut.find("No device answered on COM1 to COM49.\n  " + strSaid), std::string::npos) << ARun.strOut;
    // The report says the same, and what it found plugged in.
    const std::string strReport = ReadWholeFile(Report);
    for (const std::string& strLine : {std::string("Port: no device found"), "Search: " + strSaid,
                                       std::string("Adapter: 1a86:7523 CH340/CH341, USB Serial, driver -"),
                                       std::string("no update was started")})
        EXPECT_NE(strReport.find(strLine), std::string::npos) << strLine << "\n" << strReport;
}

// From the first frame of an update to its result the computer is kept
// awake: a mock logind lists the inhibitor while a stalled update waits,
// none once it has failed. --report writes what happened, whatever it was:
// the files' hashes as sha256sum computes them, each stage, the result.
TEST(Cli, KeepsTheComputerAwakeWhileWritingAndReportsTheOutcome)
{
    const CMockLogind ALogind;
    const CTempPortDir APorts;
    const CUpdateFolder AFiles;
    const std::string strFiles = AFiles.GetPath().string();
    AFiles.Write("flagdata.bin", RandomBytes(9000, 5));
    const std::string strHash =
        RunProgram({"/usr/bin/sha256sum", (AFiles.GetPath() / "flagdata.bin").string()}).strOut.substr(0, 64);
    const std::filesystem::path Report = AFiles.GetPath() / "report.txt";
    const auto ExpectReport = [&](const std::vector<std::string>& Lines) {
        const std::string strReport = ReadWholeFile(Report);
        for (const std::string& strLine : Lines)
            EXPECT_NE(strReport.find(strLine), std::string::npos) << strLine << "\n" << strReport;
    };
    {
        const auto pDevice = StartDevice(APorts.GetPath(), 3);
        const CProgramRun ARun = RunProgram({IAP_CLI_PATH, "--folder", strFiles, "--report", Report.string()});
        EXPECT_EQ(ARun.nExit, 0) << ARun.strOut;
        ExpectReport({"flagdata.bin  9000 bytes  SHA-256 " + strHash, "Port: COM3 (" + APorts.PortPath(3) + ")",
                      "stage 2  ", "3 of 3 answered  Обновление базы камер прошло успешно!",
                      "Result: Успешно обновлено!", "After the update: firmware 0102, data 0003, radar 1a2b"});
    }
    // Its first block answered, the device answers nothing more.
    CSimOptions AStops;
    AStops.nStopAfter = 6;
    const auto pDevice = StartDevice(APorts.GetPath(), 3, AStops);
    CChildProcess ACli({IAP_CLI_PATH, "--folder", strFiles, "--stall-timeout", "2", "--report", Report.string()});
    ASSERT_TRUE(pDevice->WaitForFrames(7, std::chrono::seconds(20))) << "the second block was sent";
    EXPECT_EQ(ALogind.ListInhibitors(), (std::vector<CInhibitorEntry>{
                                            {"sleep:idle", "IAP Tool", WideToUtf8(std::wstring(kSleepWhyEn)), "block"}}));
    EXPECT_EQ(ACli.WaitExit(), 1) << ACli.GetOutput();
    EXPECT_EQ(ALogind.ListInhibitors(), std::vector<CInhibitorEntry>{});
    ExpectReport({"flagdata.bin  9000 bytes  SHA-256 " + strHash, "1 of 3 answered  Не удалось обновить базу камер!",
                  "Result: Ошибка обновления!", "[Update] stage 2 failed: the device stopped answering"});
}

// --check reads the files as an update would and opens no port: what each
// stage sends and takes, the versions, and the damaged file named where.
TEST(Cli, CheckTellsWhatAnUpdateWouldDoWithoutADevice)
{
    const CTempPortDir APorts;
    const auto pDevice = StartDevice(APorts.GetPath(), 3);
    const CUpdateFolder AFiles;
    const std::filesystem::path& Files = AFiles.GetPath();
    const std::string strHex = MakeHex(0x08000000, RandomBytes(320, 5), "0102");
    AFiles.Write("AC7811_project.hex", strHex);
    AFiles.Write("rdfw.bin", std::string(2100, 'r'));
    AFiles.Write("ver.txt", std::string("RD-1\n0103\n0003\n1a2b\n"));
    const auto Check = [&](std::vector<std::string> Extra) {
        std::vector<std::string> Args = {IAP_CLI_PATH, "--check", "--folder", Files.string()};
        Args.insert(Args.end(), Extra.begin(), Extra.end());
        return RunProgram(Args);
    };
    const CProgramRun AText = Check({});
    EXPECT_EQ(AText.nExit, 0) << AText.strOut;
    for (const char* szLine :
         {"  1 firmware         AC7811_project.hex  955 bytes, 20 data records, 0.027 s on the line and the "
          "device's 10.00 s restart\n",
          "  2 camera database  flagdata.bin        absent: skipped\n",
          "  4 radar firmware   rdfw.bin            2100 bytes, 3 blocks, 0.084 s on the line\n",
          "Warning: ver.txt gives the firmware as 0103, but the firmware file's own version is 0102\n",
          "An update would start: 0.11 s on the line at 256000 baud, 10.11 s with the restart.\n"})
        EXPECT_NE(AText.strOut.find(szLine), std::string::npos) << szLine << "\n" << AText.strOut;

    const CProgramRun AJson = Check({"--json"});
    EXPECT_EQ(AJson.nExit, 0);
    EXPECT_EQ(AJson.strOut.front(), '{') << "nothing but the object: " << AJson.strOut;
    for (const char* szPart : {"\"stage\":4,\"name\":\"radar firmware\",\"file\":\"rdfw.bin\",\"present\":true,"
                               "\"size\":2100,\"damaged\":false,\"damage\":\"\",\"frames\":3,\"bytesOut\":2129,"
                               "\"bytesIn\":26,",
                               "\"firmwareFile\":\"0102\"", "\"updateWouldStart\":true,\"exitStatus\":0}\n"})
        EXPECT_NE(AJson.strOut.find(szPart), std::string::npos) << szPart << "\n" << AJson.strOut;

    AFiles.Write("AC7811_project.hex", strHex.substr(0, strHex.size() / 2));
    const CProgramRun ADamaged = Check({});
    EXPECT_EQ(ADamaged.nExit, 1);
    EXPECT_NE(ADamaged.strOut.find("DAMAGED: Файл AC7811_project.hex повреждён в строке 12"), std::string::npos)
        << ADamaged.strOut;
    EXPECT_EQ(Check({"--json", "--settings", (Files / "ver.txt").string()}).nExit, 64) << "a menu of 18 bytes";
    EXPECT_EQ(pDevice->GetCounters().nFramesReceived, 0u) << "a port was opened";
}

TEST(Cli, JsonTextIsEscaped)
{
    EXPECT_EQ(CJsonWriter::Quote("a\"b\\c\nd\te\x01 ф"), "\"a\\\"b\\\\c\\nd\\te\\u0001 ф\"");
    CJsonWriter AJson;
    AJson.BeginObject().Key("list").BeginArray().Number(std::uint64_t{1}).Null().Bool(false).EndArray();
    AJson.Key("x").Number(0.5).EndObject();
    EXPECT_EQ(AJson.GetText(), "{\"list\":[1,null,false],\"x\":0.500}");
}
