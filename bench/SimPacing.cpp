// How closely the virtual device paces its line: 100 KiB of camera-database
// blocks sent one after the other, each waiting for its answer, as the
// update does. The measured time should be the wire time of every byte in
// both directions, 10 bits a byte.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include "FrameCutter.h"
#include "Packet_ISP.h"
#include "Serial.h"
#include "SimDevice.h"

namespace {

constexpr std::size_t kBlockSize = 4096;
constexpr std::size_t kBlocks = 25; // 100 KiB
constexpr std::size_t kAnswerSize = 7;

// Counts the device's answers.
class CAnswerCounter final : public CSerialObject {
public:
    int OnReceive(const std::uint8_t* pBytes, std::uint32_t dwCount) override
    {
        {
            std::lock_guard<std::mutex> ALock(m_Mutex);
            m_nFrames += static_cast<std::size_t>(m_Cutter.Cut({pBytes, dwCount}, nullptr));
        }
        m_Cond.notify_all();
        return 1;
    }
    bool WaitFor(std::size_t nFrames)
    {
        std::unique_lock<std::mutex> ALock(m_Mutex);
        return m_Cond.wait_for(ALock, std::chrono::seconds(10), [&] { return m_nFrames >= nFrames; });
    }
    std::size_t GetCount()
    {
        std::lock_guard<std::mutex> ALock(m_Mutex);
        return m_nFrames;
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    CFrameCutter m_Cutter;
    std::size_t m_nFrames = 0;
};

void SimPacing(benchmark::State& AState)
{
    const auto dwBaud = static_cast<std::uint32_t>(AState.range(0));
    std::string strDir = (std::filesystem::temp_directory_path() / "iap-bench-XXXXXX").string();
    if (::mkdtemp(strDir.data()) == nullptr) {
        AState.SkipWithError("no temporary folder");
        return;
    }
    ::setenv("IAP_PORT_DIR", strDir.c_str(), 1);
    {
        CSimOptions AOptions;
        AOptions.strPortDir = strDir;
        AOptions.nCom = 5;
        AOptions.dwBaud = dwBaud;
        CSimDevice ADevice(AOptions);
        CAnswerCounter AHost;
        CSerial APort(&AHost, 10);
        std::string strError;
        if (!ADevice.Start(strError) || APort.Open(5, 256000, 8, 0, 0) == 0) {
            AState.SkipWithError("the device did not answer");
            return;
        }
        CPacket_ISP APacket;
        const std::vector<std::uint8_t> Block(kBlockSize, 0x5A);
        APacket.SetCommand(0x23, Block.data(), kBlockSize);

        double dSeconds = 0;
        for (auto _ : AState) {
            const auto tStart = std::chrono::steady_clock::now();
            for (std::size_t i = 0; i < kBlocks; ++i) {
                const std::size_t nBefore = AHost.GetCount();
                APort.Write(APacket.GetData(), static_cast<std::uint32_t>(APacket.GetSize()));
                if (!AHost.WaitFor(nBefore + 1)) {
                    AState.SkipWithError("an answer did not come");
                    break;
                }
            }
            const std::chrono::duration<double> tTook = std::chrono::steady_clock::now() - tStart;
            AState.SetIterationTime(tTook.count());
            dSeconds += tTook.count();
        }
        APort.Close();
        const double dWire =
            static_cast<double>(kBlocks * (static_cast<std::size_t>(APacket.GetSize()) + kAnswerSize)) * 10.0 / dwBaud;
        const double dMeasured = dSeconds / static_cast<double>(AState.iterations());
        AState.counters["wire_s"] = dWire;
        AState.counters["measured_s"] = dMeasured;
        AState.counters["measured_per_wire"] = dMeasured / dWire;
        AState.SetBytesProcessed(static_cast<std::int64_t>(AState.iterations() * kBlocks * kBlockSize));
    }
    ::unsetenv("IAP_PORT_DIR");
    std::filesystem::remove_all(strDir);
}

} // namespace

BENCHMARK(SimPacing)->Arg(256000)->Arg(1000000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
