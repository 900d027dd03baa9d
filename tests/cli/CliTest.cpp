// iap-cli as a user runs it, against the virtual device. Whole updates
// through it are rows of the fault matrix.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "EngineTestKit.h"
#include "FakeSysfs.h"
#include "MockLogind.h"
#include "SleepInhibitor.h"
#include "TestArchive.h"
#include "TextCodec.h"
#include "TempPortDir.h"
#include "VirtualDevice.h"

namespace {

// iap-cli's lines are compared in English, whatever the machine's locale.
CProgramRun RunCli(std::vector<std::string> Args) { return RunProgram(std::move(Args), LocaleEnv("C.UTF-8")); }

} // namespace

TEST(Cli, ExitStatusTellsWhatHappened)
{
    const auto RunWith = [](const std::string& strOption, const std::string& strValue = {}) {
        return RunCli(strValue.empty() ? std::vector<std::string>{IAP_CLI_PATH, strOption}
                                       : std::vector<std::string>{IAP_CLI_PATH, strOption, strValue});
    };
    // A wrong option or value: one line that names it, in either spelling.
    for (const auto& [strArg, szNamed] : std::vector<std::pair<std::string, const char*>>{
             {"--bogus", "--bogus"}, {"--wait=0", "--wait"}, {"--stall-timeout=x", "--stall-timeout"}, {"--json", "--check"}}) {
        const CProgramRun AWrong = RunWith(strArg);
        EXPECT_EQ(AWrong.nExit, 64) << strArg;
        EXPECT_EQ(std::count(AWrong.strOut.begin(), AWrong.strOut.end(), '\n'), 1) << AWrong.strOut;
        EXPECT_NE(AWrong.strOut.find(szNamed), std::string::npos) << AWrong.strOut;
    }

    // Nothing to do is said before any port is opened, naming what was
    // looked for and where.
    const CTempPortDir APorts;
    const CUpdateFolder AFiles;
    const std::string strFiles = AFiles.GetPath().string();
    const auto pDevice = StartDevice(APorts.GetPath(), 3);
    const CProgramRun ANothing = RunWith("--folder=" + strFiles);
    EXPECT_EQ(ANothing.nExit, 0) << ANothing.strOut;
    EXPECT_NE(ANothing.strOut.find("Nothing to update: " + strFiles +
                                   " holds none of AC7811_project.hex, flagdata.bin, audioHead.bin, rdfw.bin"),
              std::string::npos)
        << ANothing.strOut;
    EXPECT_EQ(pDevice->GetCounters().nFramesReceived, 0u) << "the port was opened";

    // With a device that has nothing to do either (an empty file), after
    // the search.
    AFiles.Write("rdfw.bin", std::string());
    const CProgramRun AEmpty = RunWith("--folder", strFiles);
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
        return RunCli({IAP_CLI_PATH, "--folder", strFiles, "--port", strPort, "--wait", "2"});
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
    const CProgramRun ARun =
        RunCli({IAP_CLI_PATH, "--folder", AFiles.GetPath().string(), "--wait", "1", "--report", Report.string()});
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
        const CProgramRun ARun = RunCli({IAP_CLI_PATH, "--folder", strFiles, "--lang", "ru", "--report", Report.string()});
        EXPECT_EQ(ARun.nExit, 0) << ARun.strOut;
        // In Russian, headings and all.
        ExpectReport({"flagdata.bin  9000 байт  SHA-256 " + strHash, "Порт: COM3 (" + APorts.PortPath(3) + ")",
                      "этап 2  ", "ответов 3 из 3  Обновление базы камер прошло успешно!",
                      "Итог: Успешно обновлено!", "После обновления: ПО 0102, база 0003, радар 1a2b"});
    }
    // Its first block answered, the device answers nothing more.
    CSimOptions AStops;
    AStops.nStopAfter = 6;
    const auto pDevice = StartDevice(APorts.GetPath(), 3, AStops);
    CChildProcess ACli({IAP_CLI_PATH, "--folder", strFiles, "--stall-timeout", "2", "--report", Report.string()},
                       LocaleEnv("C.UTF-8"));
    ASSERT_TRUE(pDevice->WaitForFrames(7, std::chrono::seconds(20))) << "the second block was sent";
    EXPECT_EQ(ALogind.ListInhibitors(), (std::vector<CInhibitorEntry>{
                                            {"sleep:idle", "IAP Tool", "A device update is writing; sleep would interrupt it", "block"}}));
    EXPECT_EQ(ACli.WaitExit(), 1) << ACli.GetOutput();
    EXPECT_EQ(ALogind.ListInhibitors(), std::vector<CInhibitorEntry>{});
    ExpectReport({"flagdata.bin  9000 bytes  SHA-256 " + strHash, "1 of 3 answered  The camera database could not be updated!",
                  "Result: The update failed!", "[Update] stage 2 failed: the device stopped answering"});
}

// iap-cli speaks its locale's language in every line: in English none has a
// Cyrillic letter (the test's folder has none), in Russian none lacks one,
// from its help, --check and a search that found nothing.
TEST(Cli, SpeaksTheLanguageOfItsLocaleOnly)
{
    const CTempPortDir APorts;
    const CFakeSysfs ASysfs;
    const CUpdateFolder AFiles;
    AFiles.Write("rdfw.bin", std::string(100, 'r'));
    const std::string strFiles = AFiles.GetPath().string();
    for (const std::string strLocale : {"C.UTF-8", "ru_RU.UTF-8"}) {
        for (const std::vector<std::string>& Args : {std::vector<std::string>{IAP_CLI_PATH, "--help"},
                                                     {IAP_CLI_PATH, "--check", "--folder", strFiles},
                                                     {IAP_CLI_PATH, "--folder", strFiles, "--wait", "1"}}) {
            const CProgramRun ARun = RunProgram(Args, LocaleEnv(strLocale));
            std::istringstream AStream(ARun.strOut);
            for (std::string strLine; std::getline(AStream, strLine);)
                if (!strLine.empty()) {
                    EXPECT_EQ(HasCyrillic(strLine), strLocale != "C.UTF-8") << Args[1] << ": " << strLine;
                }
        }
    }
}

// --check reads the files as an update would and opens no port. Both its
// forms are compared whole with what they have always said (scripts read the
// JSON), for the demo's files (scripts/lib/samples.sh) and for them damaged:
// a firmware line broken, the camera database and ver.txt gone. Only the
// folder's name differs from run to run.
TEST(Cli, CheckSaysWhatAnUpdateWouldDoWithoutADevice)
{
    const CTempPortDir APorts;
    const auto pDevice = StartDevice(APorts.GetPath(), 3);
    const CUpdateFolder AFiles;
    const std::string strFolder = AFiles.GetPath().string();
    std::string strHex = MakeHex(0x08000000, RandomBytes(16384, 2), "0102");
    AFiles.Write("AC7811_project.hex", strHex);
    AFiles.Write("flagdata.bin", std::string(131072, 'c'));
    AFiles.Write("audioHead.bin", std::string(65536, 's'));
    AFiles.Write("rdfw.bin", std::string(70000, 'r'));
    AFiles.Write("ver.txt", std::string("RD-DEMO\r\n0102\r\n0003\r\n1a2b\r\n"));
    const auto Check = [&](std::vector<std::string> Extra = {}) {
        Extra.insert(Extra.begin(), {IAP_CLI_PATH, "--check", "--folder", strFolder});
        return RunCli(Extra);
    };
    const auto Expect = [&](const std::string& strName, int nExit) {
        for (const char* szForm : {".txt", ".json"}) {
            const bool bJson = szForm == std::string(".json");
            const CProgramRun ARun = Check(bJson ? std::vector<std::string>{"--json"} : std::vector<std::string>{});
            EXPECT_EQ(ARun.nExit, nExit) << ARun.strOut;
            const std::string strExpected = std::regex_replace(
                ReadWholeFile(std::filesystem::path(IAP_CLI_DOCUMENTS) / (strName + szForm)), std::regex("FOLDER"),
                strFolder);
            if (!bJson)
                EXPECT_EQ(ARun.strOut, strExpected);
            else  // the same members and values, however a number is spelt
                EXPECT_EQ(nlohmann::ordered_json::parse(ARun.strOut), nlohmann::ordered_json::parse(strExpected));
        }
    };
    Expect("check-demo", 0);
    AFiles.Write("ver.txt", std::string("RD-DEMO\r\n0103\r\n0003\r\n1a2b\r\n"));
    EXPECT_NE(Check().strOut.find("Warning: ver.txt gives the firmware as 0103, but the firmware file's own version is "
                                  "0102\n"), std::string::npos);
    EXPECT_EQ(Check({"--settings", strFolder + "/ver.txt"}).nExit, 64) << "a menu of 29 bytes";
    strHex[strHex.find(":10", strHex.size() / 2)] = '!';
    AFiles.Write("AC7811_project.hex", strHex);
    std::filesystem::remove(AFiles.GetPath() / "flagdata.bin");
    std::filesystem::remove(AFiles.GetPath() / "ver.txt");
    Expect("check-damaged", 1);
    EXPECT_EQ(pDevice->GetCounters().nFramesReceived, 0u) << "a port was opened";
}

// An update archive is taken as it is: --check says of a 7z what it says
// of the files it holds, naming the archive; a zip with a top folder updates
// the device byte for byte; one that is refused is one line and exit 64,
// before any port is opened. Nothing is left in the temporary folder.
TEST(Cli, TakesTheUpdateArchiveAsItIs)
{
    const CTempPortDir APorts;
    const auto pDevice = StartDevice(APorts.GetPath(), 3);
    const CUpdateFolder AFiles;
    const std::filesystem::path Temp = AFiles.GetPath() / "tmp";
    std::filesystem::create_directory(Temp);
    const auto Cli = [&](const std::filesystem::path& Archive, std::vector<CArchiveEntry> Entries, const char* szCheck) {
        WriteArchive(Archive, Archive.extension() == ".7z" ? "7zip" : "zip", Entries);
        CChildProcess AChild({IAP_CLI_PATH, szCheck, "--folder", Archive.string()}, {"TMPDIR=" + Temp.string()});
        const CProgramRun ARun{AChild.WaitExit(), AChild.GetOutput()};
        EXPECT_TRUE(std::filesystem::is_empty(Temp)) << "left in the temporary folder";
        return ARun;
    };
    const std::filesystem::path Demo = AFiles.GetPath() / "демо.7z";
    const CProgramRun ACheck = Cli(Demo,
                                   {{"Обновление/AC7811_project.hex", MakeHex(0x08000000, RandomBytes(16384, 2), "0102")},
                                    {"Обновление/flagdata.bin", std::string(131072, 'c')},
                                    {"Обновление/audioHead.bin", std::string(65536, 's')},
                                    {"Обновление/rdfw.bin", std::string(70000, 'r')},
                                    {"Обновление/ver.txt", "RD-DEMO\r\n0102\r\n0003\r\n1a2b\r\n"}},
                                   "--check");
    EXPECT_EQ(ACheck.nExit, 0);
    EXPECT_EQ(ACheck.strOut, std::regex_replace(ReadWholeFile(std::filesystem::path(IAP_CLI_DOCUMENTS) / "check-demo.txt"),
                                                std::regex("FOLDER"), Demo.string()));

    const Bytes EDog = RandomBytes(9000, 5), Radar = RandomBytes(3000, 6);
    const CProgramRun AUpdate = Cli(AFiles.GetPath() / "update.zip",
                                    {{"Радар/flagdata.bin", std::string(EDog.begin(), EDog.end())},
                                     {"Радар/rdfw.bin", std::string(Radar.begin(), Radar.end())}},
                                    "--wait=10");
    EXPECT_EQ(AUpdate.nExit, 0) << AUpdate.strOut;
    EXPECT_EQ(pDevice->GetImage(0x21), EDog);
    EXPECT_EQ(pDevice->GetImage(0x41), Radar);

    const std::size_t nFrames = pDevice->GetCounters().nFramesReceived;
    const std::filesystem::path Bad = AFiles.GetPath() / "bad.zip";
    const CProgramRun ARefused = Cli(Bad, {{"../flagdata.bin", "x"}}, "--wait=10");
    EXPECT_EQ(ARefused.nExit, 64);
    EXPECT_EQ(ARefused.strOut.rfind("iap-cli: The archive " + Bad.string() + " holds an entry whose name leads out of "
                                    "it with .. (../flagdata.bin)", 0), 0u) << ARefused.strOut;
    EXPECT_EQ(std::count(ARefused.strOut.begin(), ARefused.strOut.end(), '\n'), 1) << ARefused.strOut;
    EXPECT_EQ(pDevice->GetCounters().nFramesReceived, nFrames) << "a port was opened";
}
