// Update archives as the tests make them: each is unpacked into a private
// folder holding the update files alone, byte for byte, or refused with its
// reason; either way nothing is left beside the archive or in the
// temporary folder once the object is gone.
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>

#include "TestArchive.h"
#include "TestBytes.h"
#include "UpdateSource.h"

namespace {

using ERefusal = CUpdateSource::ERefusal;
using EKind = CArchiveEntry::EKind;

constexpr std::string_view kNames[] = {"AC7811_project.hex", "flagdata.bin", "audioHead.bin", "rdfw.bin", "ver.txt"};

struct CCase {
    const char* szWhat;
    std::string strFormat; // "zip", "7zip"
    std::vector<CArchiveEntry> Entries;
    std::string strOptions; // the writer's
    ERefusal eWhy;
    std::map<std::string, std::string> Unpacked; // unpacked: each file's name and bytes
    std::vector<std::string> Named;             // refused: what both texts name
    enum class ESpoilt { No, Cut, SizeLies } eSpoilt = ESpoilt::No; // cut to half its length; the first entry's size understated
};

std::set<std::filesystem::path> List(const std::filesystem::path& Folder)
{
    return {std::filesystem::directory_iterator(Folder), std::filesystem::directory_iterator()};
}

// The first entry's uncompressed size set to 100 bytes, in its local
// header and in the central directory alike.
void UnderstateSize(const std::filesystem::path& Zip)
{
    std::string strZip = ReadWholeFile(Zip);
    for (const auto& [szMark, nOffset] : {std::pair{"PK\x03\x04", 22}, std::pair{"PK\x01\x02", 24}}) {
        const std::size_t nHeader = strZip.find(szMark);
        ASSERT_NE(nHeader, std::string::npos);
        strZip.replace(nHeader + nOffset, 4, std::string("\x64\0\0\0", 4));
    }
    std::ofstream(Zip, std::ios::binary).write(strZip.data(), static_cast<std::streamsize>(strZip.size()));
}

// More entries than an update could ever have, each of them empty.
std::vector<CArchiveEntry> ManyEntries()
{
    std::vector<CArchiveEntry> Entries(CUpdateSource::kMaxEntries + 1);
    for (std::size_t n = 0; n < Entries.size(); ++n)
        Entries[n].strName = "e/" + std::to_string(n);
    return Entries;
}

const std::string kHex = ":020000040800F2\r\n:00000001FF\r\n0102";
const std::string kBlock = "\x01\x02\x00\xFF block";

const std::vector<CCase>& Cases()
{
    static const std::vector<CCase> kCases = {
        {"zip with a top folder, named in CP866", "zip",
         {{"Обновление/", "", EKind::Folder}, {"Обновление/AC7811_project.hex", kHex}, {"Обновление/Прочти.txt", "x"},
          {"Обновление/flagdata.bin", kBlock}, {"Обновление/ver.txt", "RD-1\r\n"}, {"Обновление/Старое/rdfw.bin", "old"}},
         "zip:hdrcharset=CP866", ERefusal::None,
         {{"AC7811_project.hex", kHex}, {"flagdata.bin", kBlock}, {"ver.txt", "RD-1\r\n"}}, {}},
        {"zip without a folder, named in UTF-8: the root's files, as the update spells them", "zip",
         {{"Документы/rdfw.bin", "not this"}, {"RDFW.BIN", kBlock}, {"audioHead.bin", "sound"}, {"rdfw.bin", "second"}},
         "", ERefusal::None, {{"rdfw.bin", kBlock}, {"audioHead.bin", "sound"}}, {}},
        {"7z with a top folder", "7zip", {{"Радар 2026/audioHead.bin", kBlock}, {"Радар 2026/ver.txt", "v"}}, "",
         ERefusal::None, {{"audioHead.bin", kBlock}, {"ver.txt", "v"}}, {}},
        {"an archive without update files", "zip", {{"Прочти.txt", "x"}}, "", ERefusal::None, {}, {}},
        {"two top folders, named in CP866", "zip", {{"Обновление/flagdata.bin", "a"}, {"Старое/rdfw.bin", "b"}},
         "zip:hdrcharset=CP866", ERefusal::TwoFolders, {}, {"Обновление", "Старое"}},
        {"two top folders, named in UTF-8", "zip", {{"Новое/flagdata.bin", "a"}, {"Старое/ver.txt", "b"}}, "",
         ERefusal::TwoFolders, {}, {"Новое", "Старое"}},
        {"an entry that climbs out", "zip", {{"Обновление/../../flagdata.bin", "x"}}, "", ERefusal::ClimbingName, {},
         {"Обновление/../../flagdata.bin"}},
        {"an absolute name", "zip", {{"/etc/flagdata.bin", "x"}}, "", ERefusal::AbsoluteName, {}, {"/etc/flagdata.bin"}},
        {"a name from a disk", "zip", {{"C:\\Windows\\ver.txt", "x"}}, "", ERefusal::AbsoluteName, {}, {"C:"}},
        {"a link", "zip", {{"Обновление/flagdata.bin", "/etc/passwd", EKind::Link}}, "", ERefusal::Link, {},
         {"Обновление/flagdata.bin"}},
        {"a password", "zip", {{"flagdata.bin", kBlock}}, "zip:encryption=zipcrypt", ERefusal::Encrypted, {}, {}},
        {"a zip cut short", "zip", {{"flagdata.bin", kHex}}, "", ERefusal::Damaged, {}, {}, CCase::ESpoilt::Cut},
        {"a bomb of zeros", "zip", {{"flagdata.bin", "", EKind::File, CUpdateSource::kMaxUnpacked + 1}}, "",
         ERefusal::TooLarge, {}, {"256"}},
        {"a bomb whose size lies", "zip", {{"flagdata.bin", "", EKind::File, CUpdateSource::kMaxUnpacked * 2}}, "",
         ERefusal::Damaged, {}, {}, CCase::ESpoilt::SizeLies},
        {"more entries than an update could have", "zip", ManyEntries(), "", ERefusal::TooManyEntries, {}, {"10000"}},
    };
    return kCases;
}

} // namespace

TEST(UpdateSource, ArchivesAreUnpackedOrRefusedWithNothingLeft)
{
    for (const CCase& ACase : Cases()) {
        SCOPED_TRACE(ACase.szWhat);
        const CUpdateFolder ATop;
        const std::filesystem::path Archive = ATop.GetPath() / (ACase.strFormat == "zip" ? "update.zip" : "update.7z");
        WriteArchive(Archive, ACase.strFormat, ACase.Entries, ACase.strOptions, ACase.eWhy == ERefusal::Encrypted ? "pw" : "");
        if (ACase.eSpoilt == CCase::ESpoilt::Cut)
            std::filesystem::resize_file(Archive, std::filesystem::file_size(Archive) / 2);
        if (ACase.eSpoilt == CCase::ESpoilt::SizeLies)
            UnderstateSize(Archive);
        const std::filesystem::path Temp = ATop.GetPath() / "tmp";
        std::filesystem::create_directory(Temp);
        const auto Beside = List(ATop.GetPath());
        {
            const CUpdateSource ASource(Archive, kNames, Temp);
            ASSERT_EQ(ASource.GetRefusal(), ACase.eWhy) << ASource.DescribeRefusal(ELanguage::English);
            if (ACase.eWhy == ERefusal::None) {
                EXPECT_EQ(ASource.GetFolder().parent_path(), Temp);
                std::map<std::string, std::string> Unpacked;
                for (const auto& File : List(ASource.GetFolder()))
                    Unpacked[File.filename().string()] = ReadWholeFile(File);
                EXPECT_EQ(Unpacked, ACase.Unpacked);
            } else {
                EXPECT_TRUE(ASource.GetFolder().empty());
                for (const ELanguage eLanguage : {ELanguage::English, ELanguage::Russian}) {
                    const std::string strSaid = ASource.DescribeRefusal(eLanguage);
                    EXPECT_NE(strSaid.find(WideToUtf8(PathToWide(Archive))), std::string::npos) << strSaid;
                    for (const std::string& strNamed : ACase.Named)
                        EXPECT_NE(strSaid.find(strNamed), std::string::npos) << strSaid;
                }
            }
        }
        EXPECT_EQ(List(ATop.GetPath()), Beside);
        EXPECT_TRUE(List(Temp).empty());
    }
}
