// iap-bench: whole updates of the virtual device, measured. scripts/bench
// runs it and turns its answers (one JSON object per run, on standard
// output) into docs/performance.md; iap-bench --help lists its three modes
// (update: one update of a device on a thread of this program, per stage the
// frames and bytes each way and the wall time from the start command written
// to the stage's result; idle and memory: against an iap-sim program on
// $IAP_PORT_DIR) and their options.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "BenchEngine.h"
#include "CommandLine.h"
#include "DealMsg.h"
#include "SimDevice.h"
#include "StageTable.h"
#include "TextCodec.h"

namespace {

using namespace std::chrono_literals;

using AJson = nlohmann::ordered_json;

constexpr unsigned kCom = 3;
constexpr std::uint32_t kLineBaud = 256000;

struct CArgs {
    std::string strMode;
    std::string strFiles;
    std::uint32_t dwBaud = kLineBaud;
    std::uint32_t dwFirmwarePause = 10000;
    std::uint32_t dwAnswerDelay = 0;
    unsigned nSeconds = 10;
    unsigned nWatchMs = 3000;
    bool bPolling = false;
};

// The three modes as subcommands, each with its own options.
void DeclareArgs(CLI::App& AApp, CArgs& AArgs)
{
    AApp.description("Whole updates of the virtual device, measured: one JSON object per run on\n"
                     "standard output (scripts/bench turns them into docs/performance.md).\n");
    AApp.require_subcommand(1, 1);
    // "iap-bench update --help" reaches the help option of the program.
    AApp.fallthrough();
    const auto Mode = [&](const char* szName, const char* szAbout) {
        CLI::App* pMode = AApp.add_subcommand(szName, szAbout);
        pMode->callback([&AArgs, szName] { AArgs.strMode = szName; });
        pMode->add_flag("--polling", AArgs.bPolling, "the read loop sleeps its full pause after each read");
        return pMode;
    };
    CLI::App* pUpdate = Mode("update", "one update of a device on a thread of this program:\n"
                                       "per stage the frames and bytes each way, the time");
    pUpdate->add_option("--files", AArgs.strFiles, "the update files")->type_name("DIR")->required();
    pUpdate->add_option("--baud", AArgs.dwBaud, "pace the device's line (0: unpaced)")->capture_default_str();
    pUpdate->add_option("--firmware-pause-ms", AArgs.dwFirmwarePause, "the device's restart")->capture_default_str();
    pUpdate->add_option("--answer-delay-ms", AArgs.dwAnswerDelay, "the device's work before each answer");
    CLI::App* pIdle = Mode("idle", "the CPU time used in S seconds connected to the\n"
                                   "device on $IAP_PORT_DIR (an iap-sim program)");
    pIdle->add_option("--seconds", AArgs.nSeconds, "how long to wait")->type_name("S")->capture_default_str();
    CLI::App* pMemory = Mode("memory", "the peak memory and the longest send queue of the\n"
                                       "camera stage, updating the device on $IAP_PORT_DIR");
    pMemory->add_option("--files", AArgs.strFiles, "the update files")->type_name("DIR")->required();
    pMemory->add_option("--watch-ms", AArgs.nWatchMs, "how long to watch the queue")->capture_default_str();
}

// The trace goes to standard output by design; like the terminal front end,
// the benchmark sends it nowhere and keeps its own output on a copy.
std::FILE* DivertTrace()
{
    std::fflush(stdout);
    const int fdOut = ::dup(STDOUT_FILENO);
    const int fdNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (fdOut < 0 || fdNull < 0)
        return stdout;
    ::dup2(fdNull, STDOUT_FILENO);
    ::close(fdNull);
    return ::fdopen(fdOut, "w");
}

std::wstring FolderText(std::string strFolder)
{
    if (strFolder.empty() || strFolder.back() != '/')
        strFolder += '/';
    std::wstring wstr;
    Utf8ToWide(strFolder, wstr);
    return wstr;
}

double Seconds(ABenchClock::duration tSpan) { return std::chrono::duration<double>(tSpan).count(); }

// The worker, its message handler and window, connected to the device.
class CSession {
public:
    CSession(const CArgs& AArgs, const std::string& strFolder)
    {
        CWorkSettings ASettings;
        ASettings.dwFirmwarePause = AArgs.dwFirmwarePause;
        ASettings.bPollingReads = AArgs.bPolling;
        ASettings.bSearchOnce = true;
        m_Work.SetWorkSettings(ASettings);
        m_Work.SetNotifyWnd(&m_Window);
        m_Work.StartWork(kCom + 1, kLineBaud, FolderText(strFolder));
    }
    ~CSession() { m_Work.Reset(); }

    // Device ready and both settings reads answered.
    bool WaitConnected()
    {
        return m_Window.WaitFor(WM_DEVICE_READY, -1, 20s) && m_Window.WaitFor(WM_SETTINGS_READ, -1, 20s, 2);
    }
    CBenchWork& Work() { return m_Work; }
    CNoteRecorder& Window() { return m_Window; }

private:
    CNoteRecorder m_Window;
    CBenchWork m_Work;
};

class CTempDir {
public:
    CTempDir()
    {
        std::string strTemplate = (std::filesystem::temp_directory_path() / "iap-bench-XXXXXX").string();
        if (::mkdtemp(strTemplate.data()) != nullptr)
            m_strPath = strTemplate;
    }
    ~CTempDir()
    {
        std::error_code ec;
        if (!m_strPath.empty())
            std::filesystem::remove_all(m_strPath, ec);
    }
    const std::string& GetPath() const { return m_strPath; }

private:
    std::string m_strPath;
};

double Pick(std::vector<double>& Values, double dShare)
{
    if (Values.empty())
        return 0.0;
    std::sort(Values.begin(), Values.end());
    return Values[std::min(Values.size() - 1, static_cast<std::size_t>(dShare * static_cast<double>(Values.size())))];
}

AJson DescribeTurns(std::vector<double> Turns, CTurnParts AParts)
{
    return {{"count", Turns.size()},
            {"median_s", Pick(Turns, 0.5)},
            {"p99_s", Pick(Turns, 0.99)},
            {"max_s", Pick(Turns, 1.0)},
            {"parts_count", AParts.InHost.size()},
            {"to_host_median_s", Pick(AParts.ToHost, 0.5)},
            {"in_host_median_s", Pick(AParts.InHost, 0.5)},
            {"to_device_median_s", Pick(AParts.ToDevice, 0.5)}};
}

// One run's answer: one JSON object on a line of its own.
void Print(std::FILE* pOut, const AJson& AAnswer) { std::fprintf(pOut, "%s\n", AAnswer.dump().c_str()); }

int RunUpdate(const CArgs& AArgs, std::FILE* pOut)
{
    CTempDir APorts;
    if (APorts.GetPath().empty())
        return 1;
    ::setenv("IAP_PORT_DIR", APorts.GetPath().c_str(), 1);
    CSimOptions AOptions;
    AOptions.strPortDir = APorts.GetPath();
    AOptions.nCom = kCom;
    AOptions.dwBaud = AArgs.dwBaud;
    AOptions.dwAnswerDelayMs = AArgs.dwAnswerDelay;
    CSimDevice ADevice(AOptions);
    std::string strError;
    if (!ADevice.Start(strError)) {
        std::fprintf(stderr, "iap-bench: virtual device: %s\n", strError.c_str());
        return 1;
    }
    ABenchClock::time_point tBegin;
    std::vector<CNote> Notes;
    std::vector<std::optional<ABenchClock::time_point>> Starts(6);
    std::vector<ABenchClock::time_point> HostReads;
    std::vector<ABenchClock::time_point> RecordWrites;
    {
        CSession ASession(AArgs, AArgs.strFiles);
        if (!ASession.WaitConnected()) {
            std::fprintf(stderr, "iap-bench: the device did not connect\n");
            return 1;
        }
        tBegin = ABenchClock::now();
        if (ASession.Work().StartUpdate() != EStartResult::Started) {
            std::fprintf(stderr, "iap-bench: nothing to update in %s\n", AArgs.strFiles.c_str());
            return 1;
        }
        if (!ASession.Window().WaitFor(WM_STAGE_RESULT, 6, 3600s)) {
            std::fprintf(stderr, "iap-bench: the update did not end\n");
            return 1;
        }
        Notes = ASession.Window().GetNotes();
        HostReads = ASession.Work().GetReads();
        RecordWrites = ASession.Work().GetRecordWrites();
        // The last end command needs no answer: let the device take it in
        // before it stops, so that its log holds the whole update.
        ADevice.WaitForFrames(ASession.Work().GetFramesWritten() + 1, 5s);
        for (int nStage = 1; nStage <= 5; ++nStage) {
            ABenchClock::time_point tAt;
            if (ASession.Work().GetStartWritten(nStage, tAt))
                Starts[static_cast<std::size_t>(nStage)] = tAt;
        }
    }
    ADevice.Stop();
    const std::vector<CSimLogEntry> Log = ADevice.GetRecorder().GetLog();

    std::optional<ABenchClock::time_point> Results[7];
    bool bFailed = false;
    for (const CNote& ANote : Notes) {
        if (ANote.uMessage != WM_STAGE_RESULT || ANote.wParam > 6)
            continue;
        bFailed = bFailed || ANote.lParam != 0;
        if (!Results[ANote.wParam])
            Results[ANote.wParam] = ANote.tAt;
    }
    if (bFailed) {
        std::fprintf(stderr, "iap-bench: the update failed:");
        for (const CNote& ANote : Notes)
            if (ANote.uMessage == WM_STAGE_RESULT || ANote.uMessage == WM_STAGE_START)
                std::fprintf(stderr, " %s(%zu, %zd)", ANote.uMessage == WM_STAGE_START ? "start" : "result",
                             static_cast<std::size_t>(ANote.wParam), static_cast<std::ptrdiff_t>(ANote.lParam));
        std::fprintf(stderr, "\n");
        return 1;
    }

    std::vector<CStageRow> Rows = CountStageRows(Log);
    AJson AStages = AJson::array();
    for (CStageRow& ARow : Rows) {
        const auto nStage = static_cast<std::size_t>(ARow.nStage);
        if (!Starts[nStage] || !Results[nStage])
            continue;
        AStages.push_back({{"stage", ARow.nStage},
                           {"frames_out", ARow.nFramesOut},
                           {"frames_in", ARow.nFramesIn},
                           {"bytes_out", ARow.nBytesOut},
                           {"bytes_in", ARow.nBytesIn},
                           {"wall_s", Seconds(*Results[nStage] - *Starts[nStage])}});
    }
    // The device's restart after its firmware: from the firmware's result
    // to the next stage's start command.
    double dPause = -1;
    for (std::size_t nNext = 2; nNext <= 5 && Results[1]; ++nNext) {
        if (Starts[nNext]) {
            dPause = Seconds(*Starts[nNext] - *Results[1]);
            break;
        }
    }
    Print(pOut, {{"design", AArgs.bPolling ? "polling" : "shipping"},
                 {"baud", AArgs.dwBaud},
                 {"answer_delay_ms", AArgs.dwAnswerDelay},
                 {"stages", AStages},
                 {"firmware_pause_s", dPause},
                 {"update_wall_s", Results[6] ? Seconds(*Results[6] - tBegin) : -1.0},
                 {"turns", DescribeTurns(MeasureRecordTurns(Log),
                                         SplitRecordTurns(Log, HostReads, RecordWrites, AArgs.dwBaud))}});
    return 0;
}

double CpuSeconds()
{
    rusage AUsage{};
    ::getrusage(RUSAGE_SELF, &AUsage);
    const auto ToSeconds = [](const timeval& tv) { return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6; };
    return ToSeconds(AUsage.ru_utime) + ToSeconds(AUsage.ru_stime);
}

int RunIdle(const CArgs& AArgs, std::FILE* pOut)
{
    CTempDir AFiles; // no update files: nothing but the connection
    CSession ASession(AArgs, AFiles.GetPath());
    if (!ASession.WaitConnected()) {
        std::fprintf(stderr, "iap-bench: no device on $IAP_PORT_DIR/COM%u\n", kCom);
        return 1;
    }
    const double dCpuBefore = CpuSeconds();
    const auto tBefore = ABenchClock::now();
    std::this_thread::sleep_for(std::chrono::seconds(AArgs.nSeconds));
    const double dWall = Seconds(ABenchClock::now() - tBefore);
    const double dCpu = CpuSeconds() - dCpuBefore;
    Print(pOut, {{"design", AArgs.bPolling ? "polling" : "shipping"},
                 {"wall_s", dWall},
                 {"cpu_s", dCpu},
                 {"core_share", dCpu / dWall}});
    return 0;
}

// Peak and current resident memory of this process, in KiB.
long ReadStatusKiB(const char* szField)
{
    std::ifstream AStatus("/proc/self/status");
    std::string strLine;
    const std::size_t nLen = std::strlen(szField);
    while (std::getline(AStatus, strLine))
        if (strLine.compare(0, nLen, szField) == 0)
            return std::strtol(strLine.c_str() + nLen, nullptr, 10);
    return -1;
}

int RunMemory(const CArgs& AArgs, std::FILE* pOut)
{
    CSession ASession(AArgs, AArgs.strFiles);
    if (!ASession.WaitConnected()) {
        std::fprintf(stderr, "iap-bench: no device on $IAP_PORT_DIR/COM%u\n", kCom);
        return 1;
    }
    const long nConnected = ReadStatusKiB("VmHWM:");
    const std::uint32_t dwBlocks = ASession.Work().GetEDogCount();
    std::size_t nLongestQueue = 0;
    if (dwBlocks > 0 && ASession.Work().StartUpdate() == EStartResult::Started &&
        ASession.Window().WaitFor(WM_STAGE_START, 2, 60s)) {
        const auto tEnd = ABenchClock::now() + std::chrono::milliseconds(AArgs.nWatchMs);
        while (ABenchClock::now() < tEnd) {
            nLongestQueue = std::max(nLongestQueue, ASession.Work().GetQueueLength());
            std::this_thread::sleep_for(5ms);
        }
    }
    Print(pOut, {{"blocks", dwBlocks},
                 {"longest_queue", nLongestQueue},
                 {"connected_hwm_kib", nConnected},
                 {"peak_hwm_kib", ReadStatusKiB("VmHWM:")}});
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CArgs AArgs;
    CCommandLine ALine("iap-bench");
    DeclareArgs(ALine.GetApp(), AArgs);
    if (const std::optional<int> nExit = ALine.Run(std::vector<std::string>(argv + 1, argv + argc), 64))
        return *nExit;
    std::FILE* pOut = DivertTrace();
    int nStatus = 64;
    if (AArgs.strMode == "update")
        nStatus = RunUpdate(AArgs, pOut);
    else if (AArgs.strMode == "idle")
        nStatus = RunIdle(AArgs, pOut);
    else if (AArgs.strMode == "memory")
        nStatus = RunMemory(AArgs, pOut);
    std::fflush(pOut);
    return nStatus;
}
