// iap-cli: the update from a terminal, on the same worker as the window.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "CliWindow.h"
#include "Console.h"
#include "DealMsg.h"
#include "PortTable.h"
#include "TextCodec.h"
#include "Version.h"
#include "VersionFile.h"
#include "Work_BK.h"

namespace {

constexpr int kExitUpdated = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNoDevice = 2;
constexpr int kExitUsage = 64;

using AClock = std::chrono::steady_clock;

constexpr const char* kUpdateFiles[] = {"AC7811_project.hex", "flagdata.bin", "audioHead.bin", "rdfw.bin"};

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
               " bytes; a device menu has 73";
    std::copy(szBuf.begin(), szBuf.begin() + kSettingsSize, AMenu.begin());
    return "";
}

// What is wrong with the update folder, or "" when it is one.
std::string CheckFolder(const std::filesystem::path& Folder)
{
    std::error_code AError;
    const std::filesystem::file_status AStatus = std::filesystem::status(Folder, AError);
    if (AStatus.type() == std::filesystem::file_type::not_found)
        return "does not exist";
    if (AError)
        return "cannot be read: " + AError.message();
    if (AStatus.type() != std::filesystem::file_type::directory)
        return "is not a folder";
    return "";
}

bool HoldsAnyUpdateFile(const std::filesystem::path& Folder)
{
    std::error_code AError;
    return std::any_of(std::begin(kUpdateFiles), std::end(kUpdateFiles),
                       [&](const char* szName) { return std::filesystem::exists(Folder / szName, AError); });
}

std::string UpdateFileNames()
{
    std::string strNames;
    for (const char* szName : kUpdateFiles)
        strNames += (strNames.empty() ? "" : ", ") + std::string(szName);
    return strNames;
}

// One line for each port the search could not connect to, and a headline.
std::string DescribeFindings(const std::vector<CPortFinding>& Findings)
{
    std::string strHead = "No device answered on COM1 to COM49.\n";
    std::string strLines;
    for (const CPortFinding& A : Findings) {
        std::string strLine = "  COM" + std::to_string(A.btPort) + " (" + A.strPath + ") ";
        switch (A.eKind) {
        case CPortFinding::EKind::Denied:
            strLine += "may not be opened: permission denied. If IAP Tool was installed from its package, "
                       "unplug the adapter and plug it back in; otherwise (or over ssh) add your user to the "
                       "group that owns it (dialout on Debian) and log in again.";
            break;
        case CPortFinding::EKind::Busy:
            strLine += "is held open by another program (busy). Close that program and try again.";
            break;
        case CPortFinding::EKind::Silent: strLine += "opened, but nothing answered."; break;
        case CPortFinding::EKind::TooShort:
            strLine += "answered, but not as the device does: its answer is too short.";
            break;
        case CPortFinding::EKind::Foreign: {
            char szCommand[8];
            std::snprintf(szCommand, sizeof szCommand, "0x%02X", A.btCommand);
            strLine += std::string("answered, but not as the device does: command ") + szCommand + " instead of 0x46.";
            break;
        }
        case CPortFinding::EKind::NoInfo:
            strHead = "A device answered on COM" + std::to_string(A.btPort) + " but sent no information.\n";
            strLine += "answered the probe, but not one of its information requests. Unplug the device, "
                       "plug it back in and try again.";
            break;
        }
        strLines += strLine + "\n";
    }
    return strHead + strLines;
}

int ListPorts()
{
    for (const unsigned n : ListPortNumbers())
        std::printf("COM%u  %s\n", n, GetPortPath(n).c_str());
    return 0;
}

std::string Utf8(const std::wstring& str) { return WideToUtf8(str); }

} // namespace

int main(int argc, char** argv)
{
    std::string strError;
    PrepareConsole();
    const auto AParsed = CCliOptions::Parse(GetArguments(argc, argv), strError);
    if (!AParsed) {
        std::fprintf(stderr, "iap-cli: %s\n%s", strError.c_str(), CCliOptions::Usage());
        return kExitUsage;
    }
    const CCliOptions& AOptions = *AParsed;
    if (AOptions.bHelp) {
        std::fputs(CCliOptions::Usage(), stdout);
        return 0;
    }
    if (AOptions.bVersion) {
        std::printf("iap-cli %s\n", kIapVersion);
        return 0;
    }
    if (AOptions.bListPorts)
        return ListPorts();

    // The inputs are checked before any port is opened: a typo must not
    // look like a device with nothing to do.
    const std::filesystem::path Folder = PathFromUtf8(AOptions.strFolder);
    if (const std::string strWrong = CheckFolder(Folder); !strWrong.empty()) {
        std::fprintf(stderr, "iap-cli: the update folder %s %s\n", AOptions.strFolder.c_str(), strWrong.c_str());
        return kExitUsage;
    }
    CSettingsBlock AMenu{};
    const bool bHasMenu = !AOptions.strSettings.empty();
    if (bHasMenu) {
        if (const std::string strWrong = ReadSettingsFile(PathFromUtf8(AOptions.strSettings), AMenu);
            !strWrong.empty()) {
            std::fprintf(stderr, "iap-cli: the device menu file %s %s\n", AOptions.strSettings.c_str(),
                         strWrong.c_str());
            return kExitUsage;
        }
    }
    if (!bHasMenu && !HoldsAnyUpdateFile(Folder)) {
        std::printf("Nothing to update: %s holds none of %s, and no device menu was given (--settings).\n",
                    AOptions.strFolder.c_str(), UpdateFileNames().c_str());
        return kExitUpdated;
    }

    std::FILE* pOut = DivertTrace(AOptions.bTrace);
    CCliWindow AWindow(pOut, IsTerminal(pOut));
    CDealMsg ADeal;
    CWork_BK AWork;
    CWorkSettings ASettings;
    ASettings.dwStallTimeout = AOptions.nStallSeconds * 1000;
    AWork.SetWorkSettings(ASettings);
    AWork.SetNotifyWnd(&AWindow);

    // The folder with its trailing separator: the worker joins the file
    // names to it as text.
    AWork.StartWork(50, 256000, PathToWide(Folder / ""));

    // Device-ready, then the two settings reads (each answered or dropped
    // after the queue's wait).
    const auto tSearchEnd = AClock::now() + std::chrono::seconds(AOptions.nWaitSeconds);
    CCliWindow::CEvent AEvent{};
    bool bReady = false;
    int nSettingsReads = 0;  // the reads may be answered before the images are loaded
    while (!bReady && AWindow.WaitEvent(AEvent, tSearchEnd)) {
        bReady = AEvent.uMessage == WM_DEVICE_READY;
        nSettingsReads += AEvent.uMessage == WM_SETTINGS_READ;
    }
    if (!bReady) {
        AWork.Reset();
        AWindow.Print(DescribeFindings(AWork.GetSearchFindings()).c_str());
        return kExitNoDevice;
    }
    std::wstring strFw, strData, strRadar;
    AWork.GetDeviceVersions(strFw, strData, strRadar);
    const auto Versions = ReadVersionFile(Folder / "ver.txt");
    std::string strInfo = "Device on COM" + std::to_string(AWork.GetPortNumber()) + ": firmware " + Utf8(strFw) +
                          ", data " + Utf8(strData) + ", radar " + Utf8(strRadar) + "\n";
    strInfo += "Files (ver.txt): device " + Utf8(Versions[0]) + ", firmware " + Utf8(Versions[1]) + ", data " +
               Utf8(Versions[2]) + ", radar " + Utf8(Versions[3]) + "\n";
    AWindow.Print(strInfo.c_str());

    const auto tReadsEnd = AClock::now() + std::chrono::milliseconds(3 * ASettings.dwTaskWait + 2000);
    while (nSettingsReads < 2 && AWindow.WaitEvent(AEvent, tReadsEnd))
        nSettingsReads += AEvent.uMessage == WM_SETTINGS_READ;

    if (bHasMenu)
        AWork.HandOverMenu(AMenu);

    AWindow.StartClock();
    if (!AWork.StartUpdate() && AWork.GetLastResult() == 0) {
        AWindow.Print(("Nothing to update: " + UpdateFileNames() + " in " + AOptions.strFolder +
                       " have nothing to send, and the device menu is unchanged.\n")
                          .c_str());
        AWork.Reset();
        return kExitUpdated;
    }
    int nResult = 1;
    for (;;) {
        if (!AWindow.WaitEvent(AEvent, AClock::now() + std::chrono::hours(24)))
            continue;
        if (AWindow.Show(AEvent, nResult))
            break;
    }
    if (nResult != 0) {
        const std::wstring strWhy = AWork.GetFailure().Describe();
        if (!strWhy.empty())
            AWindow.Print(("  " + Utf8(strWhy) + "\n").c_str());  // under the failure it explains
    }
    AWork.Reset();
    return nResult == 0 ? kExitUpdated : kExitFailed;
}
