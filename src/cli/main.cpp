// iap-cli: the update from a terminal, on the same worker as the window.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "AdapterFinding.h"
#include "CliOptions.h"
#include "CliWindow.h"
#include "CommandLine.h"
#include "Console.h"
#include "PortTable.h"
#include "SearchText.h"
#include "SleepInhibitor.h"
#include "StageText.h"
#include "TextCodec.h"
#include "TraceTap.h"
#include "UpdateCheck.h"
#include "UpdateReport.h"
#include "UpdateSource.h"
#include "Version.h"
#include "VersionFile.h"
#include "Work_BK.h"

namespace {

constexpr int kExitUpdated = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNoDevice = 2;
constexpr int kExitUsage = 64;

using AClock = std::chrono::steady_clock;

std::string Utf8(const std::wstring& str) { return WideToUtf8(str); }

std::vector<std::string> SplitLines(const std::string& strText)
{
    std::vector<std::string> Lines;
    std::size_t nFrom = 0;
    for (std::size_t nEnd = strText.find('\n'); nEnd != std::string::npos; nEnd = strText.find('\n', nFrom)) {
        Lines.push_back(strText.substr(nFrom, nEnd - nFrom));
        nFrom = nEnd + 1;
    }
    if (nFrom < strText.size())
        Lines.push_back(strText.substr(nFrom));
    return Lines;
}

std::string UpdateFileNames()
{
    std::string strNames;
    for (const CStage& AStage : kStages)
        if (AStage.szFile != nullptr)
            strNames += (strNames.empty() ? "" : ", ") + std::string(AStage.szFile);
    return strNames;
}

// ---------------------------------------------------------------- what iap-cli is given

// Reads the device menu to write; answers what is wrong with the file, or
// "" when it holds a menu.
std::string ReadSettingsFile(const std::filesystem::path& Path, CSettingsBlock& AMenu)
{
    std::error_code AError;
    if (std::filesystem::is_directory(Path, AError))
        return "is a folder, not a device menu file";
    std::ifstream AFile(Path, std::ios::binary);
    if (!AFile)
        return std::string("cannot be read: ") + std::strerror(errno);
    // One byte more than a menu, to tell a longer file from a menu.
    std::array<char, kSettingsSize + 1> szBuf{};
    AFile.read(szBuf.data(), static_cast<std::streamsize>(szBuf.size()));
    const auto nRead = static_cast<std::size_t>(AFile.gcount());
    if (AFile.bad())
        return "cannot be read";
    if (nRead != kSettingsSize)
        return "holds " + std::to_string(nRead) + (nRead == kSettingsSize + 1 ? " or more" : "") +
               " bytes; a device menu has " + std::to_string(kSettingsSize);
    std::copy(szBuf.begin(), szBuf.begin() + kSettingsSize, AMenu.begin());
    return "";
}

// What is wrong with the update folder, or "" when it is one or an archive.
std::string CheckFolder(const std::filesystem::path& Folder)
{
    std::error_code AError;
    const std::filesystem::file_status AStatus = std::filesystem::status(Folder, AError);
    if (AStatus.type() == std::filesystem::file_type::not_found)
        return "does not exist";
    if (AError)
        return "cannot be read: " + AError.message();
    if (AStatus.type() == std::filesystem::file_type::regular && CUpdateSource::IsArchive(Folder))
        return "";
    if (AStatus.type() != std::filesystem::file_type::directory)
        return "is not a folder, nor a .zip, .7z or .rar archive";
    return "";
}

// The folder and the menu, checked before any port is opened: a typo must
// not look like a device with nothing to do. Answers the usage error's
// exit status, or none.
std::optional<int> ReadInputs(const CCliOptions& AOptions, std::optional<CSettingsBlock>& Menu)
{
    if (const std::string strWrong = CheckFolder(PathFromUtf8(AOptions.strFolder)); !strWrong.empty()) {
        std::fprintf(stderr, "iap-cli: the update folder %s %s\n", AOptions.strFolder.c_str(), strWrong.c_str());
        return kExitUsage;
    }
    if (AOptions.strSettings.empty())
        return std::nullopt;
    CSettingsBlock AMenu{};
    if (const std::string strWrong = ReadSettingsFile(PathFromUtf8(AOptions.strSettings), AMenu); !strWrong.empty()) {
        std::fprintf(stderr, "iap-cli: the device menu file %s %s\n", AOptions.strSettings.c_str(), strWrong.c_str());
        return kExitUsage;
    }
    Menu = AMenu;
    return std::nullopt;
}

bool HoldsAnyUpdateFile(const std::filesystem::path& Folder)
{
    std::error_code AError;
    return std::any_of(kStages.begin(), kStages.end(), [&](const CStage& AStage) {
        return AStage.szFile != nullptr && std::filesystem::exists(Folder / AStage.szFile, AError);
    });
}

// The COM number --port names, or 0 after saying why there is none.
unsigned ResolvePort(const std::string& strPort)
{
    // "5" and "COM5" name COM5 on every system; anything else is a path.
    const std::string strNumber = strPort.size() > 3 && (strPort.rfind("COM", 0) == 0 || strPort.rfind("com", 0) == 0)
                                      ? strPort.substr(3)
                                      : strPort;
    unsigned nPort = 0;
    if (!strNumber.empty() && strNumber.find_first_not_of("0123456789") == std::string::npos && strNumber.size() <= 3)
        nPort = static_cast<unsigned>(std::stoul(strNumber));
    else
        nPort = FindPortNumber(strPort);
    if (nPort >= 1 && nPort <= 255 && !GetPortPath(nPort).empty())
        return nPort;
    std::printf("No such port: %s is none of this system's serial ports (see iap-cli --list-ports).\n",
                strPort.c_str());
    return 0;
}

// ---------------------------------------------------------------- what iap-cli tells

int ListPorts()
{
    for (const unsigned n : ListPortNumbers()) {
        const std::string strPath = GetPortPath(n);
        std::error_code AError;
        const std::filesystem::path Device = std::filesystem::canonical(strPath, AError);
        const std::string strDevice = AError ? std::string() : Utf8(PathToWide(Device));
        const std::string strAbout = AError ? std::string() : DescribeTty(Utf8(PathToWide(Device.filename())));
        std::printf("COM%-3u %s%s%s\n", n, strPath.c_str(),
                    strDevice.empty() || strDevice == strPath ? "" : (" -> " + strDevice).c_str(),
                    strAbout.empty() ? "" : ("  " + strAbout).c_str());
    }
    return 0;
}

// What the search met, and what the USB serial adapters plugged in tell of
// why no device answered: the headline, then one line each.
std::string DescribeSearchEnd(const CWork_BK& AWork)
{
    const std::vector<CPortFinding> Findings = AWork.GetSearchFindings();
    const CSearchText AText = DescribeSearch(Findings, AWork.GetPortsToProbe(), ELanguage::English);
    std::string strText = AText.strHeadline + "\n";
    for (const std::string& strLine : AText.PortLines)
        strText += "  " + strLine + "\n";
    for (const std::string& strLine :
         DescribeAdapters(ReadAdapterTroubles(Findings), GetHostSystem(), ELanguage::English))
        strText += "  " + strLine + "\n";
    return strText;
}

std::string DescribeDevice(const CWork_BK& AWork, const char* szWhen)
{
    std::wstring strFw, strData, strRadar;
    AWork.GetDeviceVersions(strFw, strData, strRadar);
    return "Device on COM" + std::to_string(AWork.GetPortNumber()) + szWhen + ": firmware " + Utf8(strFw) +
           ", data " + Utf8(strData) + ", radar " + Utf8(strRadar) + "\n";
}

// ---------------------------------------------------------------- the update

// The worker's notifications until the device is ready; false when none
// came in time.
bool WaitForDevice(CCliWindow& AWindow, AClock::time_point tEnd, int& nSettingsReads)
{
    CCliWindow::CEvent AEvent{};
    while (AWindow.WaitEvent(AEvent, tEnd)) {
        // The menu may be read before the images are loaded.
        nSettingsReads += AEvent.uMessage == WM_SETTINGS_READ;
        if (AEvent.uMessage == WM_DEVICE_READY)
            return true;
    }
    return false;
}

// Shows the running update until its whole result; answers it.
int ShowUpdate(CCliWindow& AWindow)
{
    CCliWindow::CEvent AEvent{};
    int nResult = 1;
    for (;;) {
        if (AWindow.WaitEvent(AEvent, AClock::now() + std::chrono::hours(24)) && AWindow.Show(AEvent, nResult))
            return nResult;
    }
}

// After a success the worker asks the device what it now is: says what it
// reports, and where that is not the firmware written.
void ShowDeviceAfter(CCliWindow& AWindow, const CWork_BK& AWork, CReportFacts& AFacts)
{
    const CWorkSettings& ASettings = AWork.GetWorkSettings();
    const auto tEnd =
        AClock::now() + std::chrono::milliseconds(std::uint64_t{ASettings.dwInfoWait} * ASettings.dwInfoTries + 2000);
    CCliWindow::CEvent AEvent{};
    while (AWindow.WaitEvent(AEvent, tEnd)) {
        if (AEvent.uMessage != WM_DEVICE_REREAD)
            continue;
        std::optional<std::wstring> FirmwareNow;
        if (AEvent.wParam != 0) {
            AWindow.Print(DescribeDevice(AWork, " now").c_str());
            std::array<std::wstring, 3> Versions;
            AWork.GetDeviceVersions(Versions[0], Versions[1], Versions[2]);
            AFacts.DeviceAfter = Versions;
            FirmwareNow = Versions[0];
        }
        AFacts.bAfterUnanswered = !FirmwareNow;
        if (const std::string strNote = DescribeDeviceAfter(FirmwareNow, AWork.GetFirmwareSent(), ELanguage::English);
            !strNote.empty())
            AWindow.Print((strNote + "\n").c_str());
        return;
    }
}

// The device's versions beside those of the files, once it is found; then
// its menu's two reads, each answered or dropped after the queue's wait.
void DescribeConnection(CCliWindow& AWindow, const CWork_BK& AWork, const std::filesystem::path& Folder,
                        int nSettingsReads)
{
    const auto Versions = ReadVersionFile(Folder / "ver.txt");
    AWindow.Print((DescribeDevice(AWork, "") + "Files (ver.txt): device " + Utf8(Versions[0]) + ", firmware " +
                   Utf8(Versions[1]) + ", data " + Utf8(Versions[2]) + ", radar " + Utf8(Versions[3]) + "\n")
                      .c_str());
    const auto tReadsEnd = AClock::now() + std::chrono::milliseconds(3 * AWork.GetWorkSettings().dwTaskWait + 2000);
    CCliWindow::CEvent AEvent{};
    while (nSettingsReads < 2 && AWindow.WaitEvent(AEvent, tReadsEnd))
        nSettingsReads += AEvent.uMessage == WM_SETTINGS_READ;
}

// The worker's settings from the command line; none after saying that the
// port given does not exist.
std::optional<CWorkSettings> MakeSettings(const CCliOptions& AOptions)
{
    CWorkSettings ASettings;
    ASettings.dwStallTimeout = AOptions.nStallSeconds * 1000;
    if (AOptions.strPort.empty())
        return ASettings;
    const unsigned nPort = ResolvePort(AOptions.strPort);
    if (nPort == 0)
        return std::nullopt;
    ASettings.Ports = {static_cast<std::uint8_t>(nPort)};
    return ASettings;
}

// Writes the report --report asks for, whatever the run's outcome.
void WriteReportIfAsked(const CCliOptions& AOptions, const CUpdateSource& ASource, CReportFacts& AFacts,
                        const CTraceTap& ATap)
{
    if (AOptions.strReport.empty())
        return;
    AFacts.bRussian = false;
    AFacts.Program = {std::string("iap-cli ") + kIapVersion};
    AFacts.Folder = ASource.GetFolder();
    if (ASource.GetFolder() != ASource.GetGiven())
        AFacts.Archive = ASource.GetGiven();
    if (AFacts.Adapters.empty())
        AFacts.Adapters = ReadUsbAdapters();
    std::fflush(stdout);
    AFacts.Trace = ATap.GetLines();
    if (const std::string strWrong = WriteReport(PathFromUtf8(AOptions.strReport), MakeReport(AFacts));
        !strWrong.empty())
        std::fprintf(stderr, "iap-cli: the report %s %s\n", AOptions.strReport.c_str(), strWrong.c_str());
}

// The update itself, from the search to the device read again; the report's
// facts are gathered on the way.
int Update(const CCliOptions& AOptions, const std::filesystem::path& Folder, const std::optional<CSettingsBlock>& Menu,
           const CWorkSettings& ASettings, CReportFacts& AFacts)
{
    std::FILE* pOut = DivertTrace(AOptions.bTrace);
    CCliWindow AWindow(pOut, IsTerminal(pOut));
    CWork_BK AWork;
    AWork.SetWorkSettings(ASettings);
    AWork.SetNotifyWnd(&AWindow);
    // The folder with its trailing separator: the worker joins the file
    // names to it as text.
    AWork.StartWork(kSearchPortBound, kLineBaud, PathToWide(Folder / ""));
    int nSettingsReads = 0;
    if (!WaitForDevice(AWindow, AClock::now() + std::chrono::seconds(AOptions.nWaitSeconds), nSettingsReads)) {
        AWork.Reset();
        const std::string strSaid = DescribeSearchEnd(AWork);
        AWindow.Print(strSaid.c_str());
        AFacts.SearchLines = SplitLines(strSaid);
        return kExitNoDevice;
    }
    DescribeConnection(AWindow, AWork, Folder, nSettingsReads);
    GatherConnection(AWork, AFacts);
    AFacts.DeviceBefore.emplace();
    AWork.GetDeviceVersions((*AFacts.DeviceBefore)[0], (*AFacts.DeviceBefore)[1], (*AFacts.DeviceBefore)[2]);
    AFacts.bMenuHandedOver = Menu && AWork.HandOverMenu(*Menu);
    AWindow.BeginUpdate(AWork.PlanUpdate());
    // From the first frame to the result the computer may not sleep.
    CSleepInhibitor AAwake;
    AAwake.Acquire(kSleepWhyEn);
    switch (AWork.StartUpdate()) {
    case EStartResult::NothingToDo:
        AWindow.Print(("Nothing to update: " + UpdateFileNames() + " in " + AOptions.strFolder +
                       " have nothing to send, and the device menu is unchanged.\n")
                          .c_str());
        AWork.Reset();
        return kExitUpdated;
    case EStartResult::NotConnected:
        AWindow.Print("The device was disconnected before the update could start.\n");
        AWork.Reset();
        return kExitNoDevice;
    case EStartResult::Started:
    case EStartResult::Refused:  // its failure comes as the window's would
    case EStartResult::Running: break;
    }
    const int nResult = ShowUpdate(AWindow);
    AAwake.Release();
    AFacts.strResult = GetStageText(kWholeUpdate, nResult == 0 ? EStageText::Succeeded : EStageText::Failed);
    AFacts.strWhy = AWork.GetFailure().Describe();
    if (nResult == 0)
        ShowDeviceAfter(AWindow, AWork, AFacts);
    else if (!AFacts.strWhy.empty())
        AWindow.Print(("  " + Utf8(AFacts.strWhy) + "\n").c_str());  // under the failure it explains
    AWork.Reset();
    AFacts.Journal = AWindow.GetJournal();
    return nResult == 0 ? kExitUpdated : kExitFailed;
}

int RunUpdate(const CCliOptions& AOptions, const CUpdateSource& ASource, const std::optional<CSettingsBlock>& Menu,
              const CTraceTap& ATap)
{
    CReportFacts AFacts;
    const std::filesystem::path& Folder = ASource.GetFolder();
    int nExit = kExitUpdated;
    if (!Menu && !HoldsAnyUpdateFile(Folder)) {
        std::printf("Nothing to update: %s holds none of %s, and no device menu was given (--settings).\n",
                    AOptions.strFolder.c_str(), UpdateFileNames().c_str());
    } else if (const std::optional<CWorkSettings> ASettings = MakeSettings(AOptions); !ASettings) {
        nExit = kExitNoDevice;
    } else {
        nExit = Update(AOptions, Folder, Menu, *ASettings, AFacts);
    }
    WriteReportIfAsked(AOptions, ASource, AFacts, ATap);
    return nExit;
}

int RunCheck(const CCliOptions& AOptions, const std::filesystem::path& Folder, const std::optional<CSettingsBlock>& Menu)
{
    // The images trace what they read; the answer stays alone on standard output.
    std::FILE* pOut = DivertTrace(AOptions.bTrace);
    const CUpdateCheck ACheck(Folder, AOptions.strFolder, Menu, AOptions.strSettings);
    std::fputs(AOptions.bJson ? ACheck.FormatJson().c_str() : ACheck.FormatText().c_str(), pOut);
    std::fflush(pOut);
    return ACheck.GetExitStatus();
}

} // namespace

int main(int argc, char** argv)
{
    PrepareConsole();
    CCliOptions AOptions;
    CCommandLine ALine("iap-cli");
    AOptions.Declare(ALine.GetApp());
    if (const std::optional<int> nExit = ALine.Run(GetArguments(argc, argv), kExitUsage))
        return *nExit;
    if (AOptions.bListPorts)
        return ListPorts();
    std::optional<CSettingsBlock> Menu;
    if (const std::optional<int> nUsage = ReadInputs(AOptions, Menu))
        return *nUsage;
    // An archive is unpacked now, before any port is opened, into a private
    // folder that goes when iap-cli ends; the update and the check read that
    // folder, and what iap-cli says names the archive.
    const CUpdateSource ASource(PathFromUtf8(AOptions.strFolder), kUpdateFiles);
    if (ASource.GetRefusal() != CUpdateSource::ERefusal::None) {
        std::fprintf(stderr, "iap-cli: %s\n", ASource.DescribeRefusal(false).c_str());
        if (AOptions.bTrace && !ASource.GetDetail().empty())
            std::fprintf(stderr, "libarchive: %s\n", ASource.GetDetail().c_str());
        return kExitUsage;
    }
    // The trace's last lines, for the report: kept from the start, so that
    // the search is in it too.
    const CTraceTap ATap(kReportTraceLines);
    return AOptions.bCheck ? RunCheck(AOptions, ASource.GetFolder(), Menu) : RunUpdate(AOptions, ASource, Menu, ATap);
}
