// The raw image readers on arbitrary files: the radar firmware and the
// camera-database/sound image. A loaded image is the file, byte for byte,
// cut into blocks by its rule; the reader never reads past what it stores.
#include <cstdint>
#include <vector>

#include "File_EDogMusic.h"
#include "File_Radar.h"
#include "FuzzCheck.h"

namespace {

constexpr std::int32_t kLengths[4] = {17, 45, 21, 13};

std::vector<std::uint8_t> Join(std::span<const CRawString> Blocks)
{
    std::vector<std::uint8_t> Bytes;
    for (const CRawString& strBlock : Blocks)
        Bytes.insert(Bytes.end(), strBlock.GetData(), strBlock.GetData() + strBlock.GetLength());
    return Bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const CMemoryFile AFile(pData, nSize);
    const std::vector<std::uint8_t> Expected(pData, pData + nSize);

    CFile_Radar ARadar(kLengths[0], kLengths[1], kLengths[2], kLengths[3]);
    const int nRadar = ARadar.Load(AFile.GetPath());
    FUZZ_REQUIRE(ARadar.GetLoadState() == ELoadState::Loaded);
    FUZZ_REQUIRE(nRadar == (nSize > 0 ? 1 : 0));
    FUZZ_REQUIRE(ARadar.GetFileSize() == nSize);
    FUZZ_REQUIRE(Join(ARadar.GetBlocks()) == Expected);
    const std::size_t nLarge = nSize / 1024;
    const std::size_t nSmall = (nSize % 1024) / 128;
    FUZZ_REQUIRE(ARadar.GetBlockCount() == nLarge + nSmall + (nSize % 128 != 0 ? 1 : 0));
    for (std::size_t i = 0; i < ARadar.GetBlockCount(); ++i) {
        const auto nBlock = static_cast<std::size_t>(ARadar.GetBlocks()[i].GetLength());
        FUZZ_REQUIRE(nBlock == (i < nLarge ? 1024u : i < nLarge + nSmall ? 128u : nSize % 128));
    }

    CFile_EDogMusic AEDog(kLengths[0], kLengths[1], kLengths[2], kLengths[3]);
    const int nEDog = AEDog.Load(AFile.GetPath());
    FUZZ_REQUIRE(AEDog.GetLoadState() == ELoadState::Loaded);
    FUZZ_REQUIRE(nEDog == (nSize > 0 ? 1 : 0));
    FUZZ_REQUIRE(Join(AEDog.GetBlocks()) == Expected);
    FUZZ_REQUIRE(AEDog.GetBlockCount() == (nSize + 4095) / 4096);
    for (std::size_t i = 0; i + 1 < AEDog.GetBlockCount(); ++i)
        FUZZ_REQUIRE(AEDog.GetBlocks()[i].GetLength() == 4096);
    return 0;
}
