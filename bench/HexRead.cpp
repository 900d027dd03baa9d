// Time to load a 1 MiB firmware image: 65536 records of 16 bytes with CR LF
// line ends, as the common tools write it, read from a file on disk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <fcntl.h>
#include <unistd.h>

#include "File_Project.h"

namespace {

std::string RecordLine(std::uint8_t btType, std::uint16_t uAddress, const std::uint8_t* pData,
                       std::size_t nData)
{
    static const char szDigits[] = "0123456789ABCDEF";
    std::uint8_t btSum = 0;
    std::string strLine = ":";
    auto Put = [&](std::uint8_t bt) {
        btSum = static_cast<std::uint8_t>(btSum - bt);
        strLine += {szDigits[bt >> 4], szDigits[bt & 0xF]};
    };
    Put(static_cast<std::uint8_t>(nData));
    Put(static_cast<std::uint8_t>(uAddress >> 8));
    Put(static_cast<std::uint8_t>(uAddress));
    Put(btType);
    for (std::size_t i = 0; i < nData; ++i)
        Put(pData[i]);
    const std::uint8_t btCheck = btSum;
    Put(btCheck);
    return strLine + "\r\n";
}

std::string FirmwareText(std::size_t nBytes)
{
    std::mt19937 AGen(1);
    std::string strText;
    std::uint8_t btData[16];
    for (std::size_t nAt = 0; nAt < nBytes; nAt += 16) {
        if (nAt % 0x10000 == 0) {
            const std::uint16_t uUpper = static_cast<std::uint16_t>(0x0800 + (nAt >> 16));
            const std::uint8_t btUpper[2] = {static_cast<std::uint8_t>(uUpper >> 8),
                                             static_cast<std::uint8_t>(uUpper)};
            strText += RecordLine(4, 0, btUpper, 2);
        }
        for (auto& bt : btData)
            bt = static_cast<std::uint8_t>(AGen());
        strText += RecordLine(0, static_cast<std::uint16_t>(nAt), btData, sizeof btData);
    }
    const std::uint8_t btStart[4] = {0x08, 0x00, 0x01, 0x01};
    strText += RecordLine(5, 0, btStart, 4);
    return strText + ":00000001FF\r\n0102";
}

void BM_LoadFirmwareHex1MiB(benchmark::State& AState)
{
    const std::filesystem::path APath =
        std::filesystem::temp_directory_path() / ("bench_hexread_" + std::to_string(::getpid()) + ".hex");
    std::ofstream(APath, std::ios::binary) << FirmwareText(1 << 20);
    CFile_Project AImage(17, 45, 21, 13);
    // Each load writes its version to the trace; keep that out of the
    // report while the loop runs.
    std::fflush(stdout);
    const int nStdout = ::dup(STDOUT_FILENO);
    const int nNull = ::open("/dev/null", O_WRONLY);
    ::dup2(nNull, STDOUT_FILENO);
    for (auto _ : AState)
        benchmark::DoNotOptimize(AImage.Load(APath));
    std::fflush(stdout);
    ::dup2(nStdout, STDOUT_FILENO);
    ::close(nStdout);
    ::close(nNull);
    if (AImage.GetRecordCount() != 65536 + 16 + 2 || AImage.GetHexVer() != 0x0102)
        AState.SkipWithError("firmware file not read whole");
    AState.SetBytesProcessed(static_cast<std::int64_t>(AState.iterations()) *
                             static_cast<std::int64_t>(std::filesystem::file_size(APath)));
    std::filesystem::remove(APath);
}

} // namespace

BENCHMARK(BM_LoadFirmwareHex1MiB)->Unit(benchmark::kMillisecond);
