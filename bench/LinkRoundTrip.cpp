// Time from a device's answer written on the pseudo-terminal to the port's
// OnReceive, and the frame cutting of a noisy stream.
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "FrameCutter.h"
#include "Packet_ISP.h"
#include "Serial.h"

namespace {

using AClock = std::chrono::steady_clock;

class CStamp final : public CSerialObject {
public:
    int OnReceive(const std::uint8_t*, std::uint32_t) override
    {
        m_nTicks = AClock::now().time_since_epoch().count();
        return 0;
    }
    std::atomic<long long> m_nTicks{0};
};

// A master that answers the probe once, then stays quiet.
void AnswerProbe(int fdMaster)
{
    std::uint8_t btBuf[64];
    pollfd pfd{fdMaster, POLLIN, 0};
    if (::poll(&pfd, 1, 5000) > 0 && ::read(fdMaster, btBuf, sizeof btBuf) > 0) {
        CPacket_ISP AInfo;
        const std::uint8_t btPayload[8] = {0x45, 3, 0, 1, 0, 2, 0, 3};
        AInfo.SetCommand(0x46, btPayload, 8);
        (void)!::write(fdMaster, AInfo.GetData(), static_cast<std::size_t>(AInfo.GetSize()));
    }
}

void BM_AnswerToOnReceive(benchmark::State& AState)
{
    char szDir[] = "/tmp/iap-bench-XXXXXX";
    ::mkdtemp(szDir);
    ::setenv("IAP_PORT_DIR", szDir, 1);
    int fdMaster = -1, fdSlave = -1;
    char szName[256];
    termios tio{};
    cfmakeraw(&tio);
    ::openpty(&fdMaster, &fdSlave, szName, &tio, nullptr);
    const std::string strLink = std::string(szDir) + "/COM3";
    ::symlink(szName, strLink.c_str());
    std::thread AProbe([&] { AnswerProbe(fdMaster); });
    CStamp AStamp;
    CSerial APort(&AStamp, 10);
    const bool bOpen = APort.Open(3, 256000, 8, 0, 0) != 0;
    AProbe.join();
    const std::uint8_t btAnswer[7] = {0xAC, 0x07, 0x00, 0x0D, 0x06, 0x02, 0x15};
    std::vector<double> Micros;
    for (auto _ : AState) {
        if (!bOpen) {
            AState.SkipWithError("port did not open");
            break;
        }
        AStamp.m_nTicks = 0;
        const auto tWritten = AClock::now();
        (void)!::write(fdMaster, btAnswer, sizeof btAnswer);
        while (AStamp.m_nTicks == 0)
            std::this_thread::yield();
        const auto tSeen = AClock::time_point(AClock::duration(AStamp.m_nTicks.load()));
        const double dSeconds = std::chrono::duration<double>(tSeen - tWritten).count();
        Micros.push_back(dSeconds * 1e6);
        AState.SetIterationTime(dSeconds);
    }
    if (!Micros.empty()) {
        std::sort(Micros.begin(), Micros.end());
        AState.counters["median_us"] = Micros[Micros.size() / 2];
        AState.counters["p99_us"] = Micros[Micros.size() * 99 / 100];
    }
    APort.Close();
    ::unlink(strLink.c_str());
    ::close(fdMaster);
    ::close(fdSlave);
    ::rmdir(szDir);
}
BENCHMARK(BM_AnswerToOnReceive)->UseManualTime()->Iterations(1000)->Unit(benchmark::kMicrosecond);

// A megabyte of noise cut in chunks as a read returns them: with an answer
// after every 20 noise bytes, and with none at all, where the buffer fills
// to its bound and stays there.
void BM_CutNoisyMegabyte(benchmark::State& AState)
{
    const auto nGap = static_cast<std::size_t>(AState.range(0));
    const auto nChunk = static_cast<std::size_t>(AState.range(1));
    std::vector<std::uint8_t> Stream;
    unsigned nSeed = 1;
    CPacket_ISP APacket;
    const std::uint8_t btPayload[2] = {0x06, 0x02};
    APacket.SetCommand(0x0D, btPayload, 2);
    while (Stream.size() < (1u << 20)) {
        for (std::size_t i = 0; i < nGap && Stream.size() < (1u << 20); ++i) {
            nSeed = nSeed * 1103515245u + 12345u;
            Stream.push_back(static_cast<std::uint8_t>(nSeed >> 16));
        }
        Stream.insert(Stream.end(), APacket.GetData(), APacket.GetData() + APacket.GetSize());
    }
    for (auto _ : AState) {
        CFrameCutter ACutter;
        int nFrames = 0;
        for (std::size_t i = 0; i < Stream.size(); i += nChunk)
            nFrames += ACutter.Cut({Stream.data() + i, std::min(nChunk, Stream.size() - i)}, nullptr);
        benchmark::DoNotOptimize(nFrames);
    }
    AState.SetBytesProcessed(static_cast<std::int64_t>(AState.iterations() * Stream.size()));
}
BENCHMARK(BM_CutNoisyMegabyte)->Args({20, 1024})->Args({1 << 20, 32})->Unit(benchmark::kMillisecond);

} // namespace
