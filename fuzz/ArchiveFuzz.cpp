// The update archive reader on arbitrary bytes, given as a .zip (libarchive
// tells the format by the bytes, not by the name): an archive is refused
// with nothing unpacked, or unpacked into its private folder with nothing
// but update files, each within the bound; nothing is ever written beside
// the private folder, and the private folder goes with the reader.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "FuzzCheck.h"
#include "UpdateSource.h"

namespace {

constexpr std::array<std::string_view, 5> kNames = {"AC7811_project.hex", "flagdata.bin", "audioHead.bin", "rdfw.bin",
                                                     "ver.txt"};

bool IsUpdateFile(const std::filesystem::path& Path)
{
    for (const std::string_view strName : kNames)
        if (Path.filename() == strName)
            return true;
    return false;
}

std::size_t CountEntries(const std::filesystem::path& Folder)
{
    std::error_code AError;
    std::size_t nEntries = 0;
    for (std::filesystem::recursive_directory_iterator p(Folder, AError), pEnd; !AError && p != pEnd; p.increment(AError))
        ++nEntries;
    return nEntries;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    // One folder for the whole run, removed at its end: the input beside an
    // empty temporary root.
    static const std::filesystem::path Work = [] {
        std::string strTemplate = (std::filesystem::temp_directory_path() / "fuzz-archive-XXXXXX").string();
        FUZZ_REQUIRE(mkdtemp(strTemplate.data()) != nullptr);
        std::filesystem::create_directory(std::filesystem::path(strTemplate) / "tmp");
        return std::filesystem::path(strTemplate);
    }();
    static const int nCleanup = std::atexit([] {
        std::error_code AError;
        std::filesystem::remove_all(Work, AError);
    });
    (void)nCleanup;
    const std::filesystem::path Input = Work / "update.zip";
    const std::filesystem::path Temp = Work / "tmp";
    {
        std::ofstream AFile(Input, std::ios::binary | std::ios::trunc);
        AFile.write(reinterpret_cast<const char*>(pData), static_cast<std::streamsize>(nSize));
        FUZZ_REQUIRE(AFile.good());
    }
    {
        const CUpdateSource ASource(Input, kNames, Temp);
        if (ASource.GetRefusal() != CUpdateSource::ERefusal::None) {
            FUZZ_REQUIRE(ASource.GetFolder().empty());
            FUZZ_REQUIRE(!ASource.DescribeRefusal(ELanguage::English).empty());
            FUZZ_REQUIRE(CountEntries(Temp) == 0);
        } else {
            FUZZ_REQUIRE(ASource.GetFolder().parent_path() == Temp);
            std::uint64_t uTotal = 0;
            for (const auto& AEntry : std::filesystem::directory_iterator(ASource.GetFolder())) {
                FUZZ_REQUIRE(AEntry.is_regular_file() && !AEntry.is_symlink() && IsUpdateFile(AEntry.path()));
                uTotal += AEntry.file_size();
            }
            FUZZ_REQUIRE(uTotal <= CUpdateSource::kMaxUnpacked);
            FUZZ_REQUIRE(CountEntries(Temp) == 1 + CountEntries(ASource.GetFolder()));
        }
        FUZZ_REQUIRE(CountEntries(Work) == 2 + CountEntries(Temp));
    }
    FUZZ_REQUIRE(CountEntries(Temp) == 0);
    return 0;
}
