// iap-cli: the update from a terminal, on the same worker as the window.
#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "CliOptions.h"
#include "CliWindow.h"
#include "DealMsg.h"
#include "PortTable.h"
#include "TextCodec.h"
#include "VersionFile.h"
#include "Work_BK.h"

namespace {

constexpr int kExitUpdated = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNoDevice = 2;
constexpr int kExitUsage = 64;

using AClock = std::chrono::steady_clock;

// The trace is written to standard output by design; the terminal front end
// keeps its own output on a copy of it and sends the trace to standard
// error, or nowhere.
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

bool ReadSettingsFile(const std::string& strPath, CSettingsBlock& AMenu)
{
    std::ifstream AFile(strPath, std::ios::binary);
    if (!AFile)
        return false;
    AFile.read(reinterpret_cast<char*>(AMenu.data()), static_cast<std::streamsize>(AMenu.size()));
    return AFile.gcount() == static_cast<std::streamsize>(AMenu.size());
}

int ListPorts()
{
    for (unsigned n = 1; n < 50; ++n) {
        const std::string strPath = GetPortPath(n);
        if (!strPath.empty())
            std::printf("COM%u  %s\n", n, strPath.c_str());
    }
    return 0;
}

std::string Utf8(const std::wstring& str) { return WideToUtf8(str); }

} // namespace

int main(int argc, char** argv)
{
    std::string strError;
    const auto AParsed = CCliOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), strError);
    if (!AParsed) {
        std::fprintf(stderr, "iap-cli: %s\n%s", strError.c_str(), CCliOptions::Usage());
        return kExitUsage;
    }
    const CCliOptions& AOptions = *AParsed;
    if (AOptions.bHelp) {
        std::fputs(CCliOptions::Usage(), stdout);
        return 0;
    }
    if (AOptions.bListPorts)
        return ListPorts();

    CSettingsBlock AMenu{};
    const bool bHasMenu = !AOptions.strSettings.empty();
    if (bHasMenu && !ReadSettingsFile(AOptions.strSettings, AMenu)) {
        std::fprintf(stderr, "iap-cli: %s does not hold a 73-byte device menu\n", AOptions.strSettings.c_str());
        return kExitUsage;
    }

    std::FILE* pOut = DivertTrace(AOptions.bTrace);
    CCliWindow AWindow(pOut, ::isatty(::fileno(pOut)) != 0);
    CDealMsg ADeal;
    CWork_BK AWork;
    CWorkSettings ASettings;
    ASettings.dwStallTimeout = AOptions.nStallSeconds * 1000;
    AWork.SetWorkSettings(ASettings);
    AWork.SetNotifyWnd(&AWindow);

    std::string strFolder = AOptions.strFolder;
    if (strFolder.empty() || strFolder.back() != '/')
        strFolder += '/';
    std::wstring wstrFolder;
    Utf8ToWide(strFolder, wstrFolder);
    AWork.StartWork(50, 256000, wstrFolder);

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
        const CPortFinding AProblem = AWork.GetSearchProblem();
        std::string strText;
        if (AProblem.eKind == CPortFinding::EKind::Denied)
            strText = "COM" + std::to_string(AProblem.btPort) + " (" + AProblem.strPath +
                      ") may not be opened: permission denied. Add your user to the group that owns it "
                      "(dialout on Debian) and log in again.\nNo device answered.\n";
        else
            strText = "No device answered on COM1 to COM49.\n";
        AWindow.Print(strText.c_str());
        AWork.Reset();
        return kExitNoDevice;
    }
    std::wstring strFw, strData, strRadar;
    AWork.GetDeviceVersions(strFw, strData, strRadar);
    const auto Versions = ReadVersionFile(strFolder + "ver.txt");
    std::string strInfo = "Device on COM" + std::to_string(AWork.GetPortNumber()) + ": firmware " + Utf8(strFw) +
                          ", data " + Utf8(strData) + ", radar " + Utf8(strRadar) + "\n";
    strInfo += "Files (ver.txt): device " + Utf8(Versions[0]) + ", firmware " + Utf8(Versions[1]) + ", data " +
               Utf8(Versions[2]) + ", radar " + Utf8(Versions[3]) + "\n";
    AWindow.Print(strInfo.c_str());

    const auto tReadsEnd = AClock::now() + std::chrono::milliseconds(3 * ASettings.dwTaskWait + 2000);
    while (nSettingsReads < 2 && AWindow.WaitEvent(AEvent, tReadsEnd))
        nSettingsReads += AEvent.uMessage == WM_SETTINGS_READ;

    if (bHasMenu) {
        CSettingsBlock ADevice{};
        AWork.GetSettingsG(ADevice.data());
        const bool bAllZero = std::all_of(AMenu.begin(), AMenu.end(), [](std::uint8_t bt) { return bt == 0; });
        if (AMenu != ADevice && !bAllZero) {
            AWork.SetWriteSettings(1);
            AWork.SetSettingsG(AMenu.data());
        }
    }

    AWindow.StartClock();
    if (!AWork.StartUpdate() && AWork.GetLastResult() == 0) {
        AWindow.Print("Nothing to update: no update file has work and the device menu is unchanged.\n");
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
