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
#include "TextCatalog.h"
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
std::string ReadSettingsFile(const std::string& strFile, ELanguage eLanguage, CSettingsBlock& AMenu)
{
    const std::filesystem::path Path = PathFromUtf8(strFile);
    std::error_code AError;
    if (std::filesystem::is_directory(Path, AError))
        return FormatText(eLanguage, "iap-cli: файл меню устройства {1} — это папка, а не файл меню", {strFile});
    std::ifstream AFile(Path, std::ios::binary);
    if (!AFile)
        return FormatText(eLanguage, "iap-cli: файл меню устройства {1} не читается: {2}", {strFile, std::strerror(errno)});
    // One byte more than a menu, to tell a longer file from a menu.
    std::array<char, kSettingsSize + 1> szBuf{};
    AFile.read(szBuf.data(), static_cast<std::streamsize>(szBuf.size()));
    const auto nRead = static_cast<std::size_t>(AFile.gcount());
    if (AFile.bad())
        return FormatText(eLanguage, "iap-cli: файл меню устройства {1} не читается: {2}", {strFile, std::strerror(EIO)});
    const std::string strRead = std::to_string(nRead), strSize = std::to_string(kSettingsSize);
    if (nRead == kSettingsSize + 1)
        return FormatText(eLanguage, "iap-cli: в файле меню устройства {1} байт: {2} или больше, а в меню устройства их {3}",
                          {strFile, strRead, strSize});
    if (nRead != kSettingsSize)
        return FormatText(eLanguage, "iap-cli: в файле меню устройства {1} байт: {2}, а в меню устройства их {3}",
                          {strFile, strRead, strSize});
    std::copy(szBuf.begin(), szBuf.begin() + kSettingsSize, AMenu.begin());
    return "";
}

// What is wrong with the update folder, or "" when it is one or an archive.
std::string CheckFolder(const std::string& strFolder, ELanguage eLanguage)
{
    std::error_code AError;
    const std::filesystem::file_status AStatus = std::filesystem::status(PathFromUtf8(strFolder), AError);
    if (AStatus.type() == std::filesystem::file_type::not_found)
        return FormatText(eLanguage, "iap-cli: папки обновления {1} нет", {strFolder});
    if (AError)
        return FormatText(eLanguage, "iap-cli: папка обновления {1} не читается: {2}", {strFolder, AError.message()});
    if (AStatus.type() == std::filesystem::file_type::regular && CUpdateSource::IsArchive(PathFromUtf8(strFolder)))
        return "";
    if (AStatus.type() != std::filesystem::file_type::directory)
        return FormatText(eLanguage, "iap-cli: {1} — не папка и не архив .zip, .7z или .rar, а нужна папка обновления",
                          {strFolder});
    return "";
}

// The folder and the menu, checked before any port is opened: a typo must
// not look like a device with nothing to do. Answers the usage error's
// exit status, or none.
std::optional<int> ReadInputs(const CCliOptions& AOptions, std::optional<CSettingsBlock>& Menu)
{
    if (const std::string strWrong = CheckFolder(AOptions.strFolder, AOptions.eLanguage); !strWrong.empty()) {
        std::fprintf(stderr, "%s\n", strWrong.c_str());
        return kExitUsage;
    }
    if (AOptions.strSettings.empty())
        return std::nullopt;
    CSettingsBlock AMenu{};
    if (const std::string strWrong = ReadSettingsFile(AOptions.strSettings, AOptions.eLanguage, AMenu); !strWrong.empty()) {
        std::fprintf(stderr, "%s\n", strWrong.c_str());
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
unsigned ResolvePort(const std::string& strPort, ELanguage eLanguage)
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
    std::printf("%s\n", FormatText(eLanguage,
                                   "Нет такого порта: {1} не входит в последовательные порты этой системы (см. "
                                   "iap-cli --list-ports).",
                                   {strPort})
                            .c_str());
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
std::string DescribeSearchEnd(const CWork_BK& AWork, ELanguage eLanguage)
{
    const std::vector<CPortFinding> Findings = AWork.GetSearchFindings();
    const CSearchText AText = DescribeSearch(Findings, AWork.GetPortsToProbe(), eLanguage);
    std::string strText = AText.strHeadline + "\n";
    for (const std::string& strLine : AText.PortLines)
        strText += "  " + strLine + "\n";
    for (const std::string& strLine :
         DescribeAdapters(ReadAdapterTroubles(Findings), GetHostSystem(), eLanguage))
        strText += "  " + strLine + "\n";
    return strText;
}

// The device's versions, before the update or (bNow) after it.
std::string DescribeDevice(const CWork_BK& AWork, bool bNow, ELanguage eLanguage)
{
    std::wstring strFw, strData, strRadar;
    AWork.GetDeviceVersions(strFw, strData, strRadar);
    const std::string strPort = std::to_string(AWork.GetPortNumber());
    return FormatText(eLanguage,
                      bNow ? CTextKey("Устройство на COM{1} теперь: ПО {2}, база {3}, радар {4}")
                           : CTextKey("Устройство на COM{1}: ПО {2}, база {3}, радар {4}"),
                      {strPort, Utf8(strFw), Utf8(strData), Utf8(strRadar)}) +
           "\n";
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
void ShowDeviceAfter(CCliWindow& AWindow, const CWork_BK& AWork, ELanguage eLanguage, CReportFacts& AFacts)
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
            AWindow.Print(DescribeDevice(AWork, true, eLanguage).c_str());
            std::array<std::wstring, 3> Versions;
            AWork.GetDeviceVersions(Versions[0], Versions[1], Versions[2]);
            AFacts.DeviceAfter = Versions;
            FirmwareNow = Versions[0];
        }
        AFacts.bAfterUnanswered = !FirmwareNow;
        if (const std::string strNote = DescribeDeviceAfter(FirmwareNow, AWork.GetFirmwareSent(), eLanguage);
            !strNote.empty())
            AWindow.Print((strNote + "\n").c_str());
        return;
    }
}

// The device's versions beside those of the files, once it is found; then
// its menu's two reads, each answered or dropped after the queue's wait.
void DescribeConnection(CCliWindow& AWindow, const CWork_BK& AWork, const std::filesystem::path& Folder,
                        int nSettingsReads, ELanguage eLanguage)
{
    const auto Versions = ReadVersionFile(Folder / "ver.txt");
    AWindow.Print((DescribeDevice(AWork, false, eLanguage) +
                   FormatText(eLanguage, "Файлы (ver.txt): устройство {1}, ПО {2}, база {3}, радар {4}",
                              {Utf8(Versions[0]), Utf8(Versions[1]), Utf8(Versions[2]), Utf8(Versions[3])}) +
                   "\n")
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
    const unsigned nPort = ResolvePort(AOptions.strPort, AOptions.eLanguage);
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
    AFacts.eLanguage = AOptions.eLanguage;
    AFacts.Program = {std::string("iap-cli ") + kIapVersion};
    AFacts.Folder = ASource.GetFolder();
    if (ASource.GetFolder() != ASource.GetGiven())
        AFacts.Archive = ASource.GetGiven();
    if (AFacts.Adapters.empty())
        AFacts.Adapters = ReadUsbAdapters();
    std::fflush(stdout);
    AFacts.Trace = ATap.GetLines();
    const EReportWrite eWritten = WriteReport(PathFromUtf8(AOptions.strReport), MakeReport(AFacts));
    if (eWritten != EReportWrite::Written)
        std::fprintf(stderr, "%s\n",
                     FormatText(AOptions.eLanguage,
                                eWritten == EReportWrite::NotCreated ? CTextKey("iap-cli: отчёт {1} не удаётся создать")
                                                                     : CTextKey("iap-cli: отчёт {1} не удаётся записать"),
                                {AOptions.strReport})
                         .c_str());
}

// The update itself, from the search to the device read again; the report's
// facts are gathered on the way.
int Update(const CCliOptions& AOptions, const std::filesystem::path& Folder, const std::optional<CSettingsBlock>& Menu,
           const CWorkSettings& ASettings, CReportFacts& AFacts)
{
    std::FILE* pOut = DivertTrace(AOptions.bTrace);
    const ELanguage eLanguage = AOptions.eLanguage;
    CCliWindow AWindow(pOut, IsTerminal(pOut), eLanguage);
    CWork_BK AWork;
    AWork.SetWorkSettings(ASettings);
    AWork.SetNotifyWnd(&AWindow);
    // The folder with its trailing separator: the worker joins the file
    // names to it as text.
    AWork.StartWork(kSearchPortBound, kLineBaud, PathToWide(Folder / ""));
    int nSettingsReads = 0;
    if (!WaitForDevice(AWindow, AClock::now() + std::chrono::seconds(AOptions.nWaitSeconds), nSettingsReads)) {
        AWork.Reset();
        const std::string strSaid = DescribeSearchEnd(AWork, eLanguage);
        AWindow.Print(strSaid.c_str());
        AFacts.SearchLines = SplitLines(strSaid);
        return kExitNoDevice;
    }
    DescribeConnection(AWindow, AWork, Folder, nSettingsReads, eLanguage);
    GatherConnection(AWork, AFacts);
    AFacts.DeviceBefore.emplace();
    AWork.GetDeviceVersions((*AFacts.DeviceBefore)[0], (*AFacts.DeviceBefore)[1], (*AFacts.DeviceBefore)[2]);
    AFacts.bMenuHandedOver = Menu && AWork.HandOverMenu(*Menu);
    AWindow.BeginUpdate(AWork.PlanUpdate());
    // From the first frame to the result the computer may not sleep.
    CSleepInhibitor AAwake;
    AAwake.Acquire(FormatWideText(eLanguage, "Идёт обновление устройства: сон прервал бы запись"));
    switch (AWork.StartUpdate()) {
    case EStartResult::NothingToDo:
        AWindow.Print((FormatText(eLanguage,
                                  "Нечего обновлять: в файлах {1} из папки {2} нечего отправлять, а меню устройства "
                                  "не менялось.",
                                  {UpdateFileNames(), AOptions.strFolder}) +
                       "\n")
                          .c_str());
        AWork.Reset();
        return kExitUpdated;
    case EStartResult::NotConnected:
        AWindow.Print((FormatText(eLanguage, "Устройство отключено до начала обновления.", {}) + "\n").c_str());
        AWork.Reset();
        return kExitNoDevice;
    case EStartResult::Started:
    case EStartResult::Refused:  // its failure comes as the window's would
    case EStartResult::Running: break;
    }
    const int nResult = ShowUpdate(AWindow);
    AAwake.Release();
    AFacts.strResult =
        GetStageText(kWholeUpdate, nResult == 0 ? EStageText::Succeeded : EStageText::Failed, eLanguage);
    AFacts.strWhy = AWork.GetFailure().Describe(eLanguage);
    if (nResult == 0)
        ShowDeviceAfter(AWindow, AWork, eLanguage, AFacts);
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
        std::printf("%s\n", FormatText(AOptions.eLanguage,
                                       "Нечего обновлять: в папке {1} нет ни одного из файлов {2}, а меню устройства "
                                       "не задано (--settings).",
                                       {AOptions.strFolder, UpdateFileNames()})
                                .c_str());
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
    const CUpdateCheck ACheck(Folder, AOptions.strFolder, Menu, AOptions.strSettings, AOptions.eLanguage);
    std::fputs(AOptions.bJson ? ACheck.FormatJson().c_str() : ACheck.FormatText().c_str(), pOut);
    std::fflush(pOut);
    return ACheck.GetExitStatus();
}

} // namespace

int main(int argc, char** argv)
{
    PrepareConsole();
    const std::vector<std::string> Args = GetArguments(argc, argv);
    CCliOptions AOptions;
    CCommandLine ALine("iap-cli", Args);
    AOptions.eLanguage = ALine.GetLanguage();
    AOptions.Declare(ALine.GetApp());
    if (const std::optional<int> nExit = ALine.Run(Args, kExitUsage))
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
        std::fprintf(stderr, "iap-cli: %s\n", ASource.DescribeRefusal(AOptions.eLanguage).c_str());
        if (AOptions.bTrace && !ASource.GetDetail().empty())
            std::fprintf(stderr, "libarchive: %s\n", ASource.GetDetail().c_str());
        return kExitUsage;
    }
    // The trace's last lines, for the report: kept from the start, so that
    // the search is in it too.
    const CTraceTap ATap(kReportTraceLines);
    return AOptions.bCheck ? RunCheck(AOptions, ASource.GetFolder(), Menu) : RunUpdate(AOptions, ASource, Menu, ATap);
}
