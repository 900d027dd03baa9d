#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include "File_Project.h"
#include "TestBytes.h"

namespace {

// A sound file of six lines: extended linear address, three data records
// from offset 0x4010, start linear address, end of file.
std::vector<std::string> SoundLines(std::size_t nPerRecord, Bytes& btData)
{
    btData = RandomBytes(3 * nPerRecord, 3);
    std::vector<std::string> Lines = {RecordLine(4, 0, {0x08, 0x00})};
    for (std::size_t k = 0; k < 3; ++k)
        Lines.push_back(RecordLine(0, static_cast<std::uint16_t>(0x4010 + k * nPerRecord),
                                   btData.data() + k * nPerRecord, nPerRecord));
    Lines.push_back(RecordLine(5, 0, {0x08, 0x00, 0x40, 0x11}));
    Lines.push_back(":00000001FF");
    return Lines;
}

std::string Join(const std::vector<std::string>& Lines, const char* szEnd = "\r\n")
{
    std::string strText;
    for (const auto& str : Lines)
        strText += str + szEnd;
    return strText;
}

using TextMaker = std::function<std::string(std::vector<std::string>)>;

TextMaker CrLf(const char* szTrailer)
{
    return [=](auto Lines) { return Join(Lines) + szTrailer; };
}

// Line nLine (from 1) of the sound CR LF text changed by Edit.
TextMaker Edit(std::size_t nLine, std::function<void(std::string&)> EditLine)
{
    return [=](auto Lines) { return EditLine(Lines[nLine - 1]), Join(Lines); };
}

struct SHexCase {
    const char* szName;
    std::size_t nPerRecord;
    TextMaker MakeText;
    ELoadState eState;
    std::uint16_t uVersion;
    const char* szTrace; // null: no version was read
};

class ProjectCases : public testing::TestWithParam<SHexCase> {};

TEST_P(ProjectCases, GiveTheStateRecordsAndVersion)
{
    const SHexCase& ACase = GetParam();
    Bytes btData;
    const std::vector<std::string> Lines = SoundLines(ACase.nPerRecord, btData);
    const CUpdateFolder AFolder;
    const std::string strText = ACase.MakeText(Lines);
    CFile_Project AImage(17, 45, 21, 13);
    testing::internal::CaptureStdout();
    const int nResult = AImage.Load(AFolder.Write("AC7811_project.hex", strText));
    const std::string strTrace = testing::internal::GetCapturedStdout();

    EXPECT_EQ(AImage.GetLoadState(), ACase.eState);
    EXPECT_EQ(AImage.IsDamaged(), ACase.eState == ELoadState::Damaged);
    EXPECT_EQ(nResult, ACase.eState == ELoadState::Loaded ? 1 : 0);
    EXPECT_EQ(AImage.GetHexVer(), ACase.uVersion);
    if (ACase.szTrace != nullptr)
        EXPECT_NE(strTrace.find(ACase.szTrace), std::string::npos) << strTrace;
    else
        EXPECT_EQ(strTrace.find("GetHexVer"), std::string::npos) << strTrace;
    if (ACase.eState == ELoadState::Damaged) {
        EXPECT_EQ(AImage.GetRecordCount(), 0u);
        EXPECT_NE(strTrace.find("AC7811_project.hex damaged"), std::string::npos) << strTrace;
        return;
    }
    ASSERT_EQ(AImage.GetRecordCount(), Lines.size());
    Bytes btRead;
    for (const CPacket_Hex& A : AImage.GetRecords().subspan(1, 3))
        btRead.insert(btRead.end(), A.GetData(), A.GetData() + A.GetLength());
    EXPECT_EQ(btRead, btData);
    EXPECT_EQ(AImage.GetRecords().back().GetType(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProjectCases,
    testing::Values(
        SHexCase{"Trailer0102", 16, CrLf("0102"), ELoadState::Loaded, 0x0102, "\r\n GetHexVer == 0102 \r\n"},
        SHexCase{"NoTrailer", 16, CrLf(""), ELoadState::Loaded, 0xA000, "GetHexVer == a000"},
        SHexCase{"LongTrailer", 16, CrLf("Version 0102"), ELoadState::Loaded, 0, nullptr},
        SHexCase{"ShortTrailer", 16, CrLf("12"), ELoadState::Loaded, 0x1200, "GetHexVer == 1200"},
        SHexCase{"LfLineEnds", 16, [](auto L) { return Join(L, "\n") + "0102"; }, ELoadState::Loaded, 0x0102,
                 "0102"},
        SHexCase{"LfNoTrailer", 16, [](auto L) { return Join(L, "\n"); }, ELoadState::Loaded, 0xA000, "a000"},
        SHexCase{"LowerCaseDigits", 16,
                 [](auto L) {
                     std::string str = Join(L);
                     std::transform(str.begin(), str.end(), str.begin(), ::tolower);
                     return str + "0102";
                 },
                 ELoadState::Loaded, 0x0102, "0102"},
        SHexCase{"LastLineWithoutEnd", 16, [](auto L) { return Join(L).erase(Join(L).size() - 2); },
                 ELoadState::Loaded, 0xA000, "a000"},
        SHexCase{"Records22", 22, CrLf("0102"), ELoadState::Loaded, 0x0102, "0102"},
        SHexCase{"Records32", 32, CrLf("0102"), ELoadState::Loaded, 0x0102, "0102"},
        SHexCase{"BadChecksumInMiddle", 16, Edit(3, [](auto& s) { s.back() ^= 1; }), ELoadState::Damaged, 0,
                 "line 3: bad digit or checksum"},
        SHexCase{"NonHexDigit", 16, Edit(3, [](auto& s) { s[12] = 'G'; }), ELoadState::Damaged, 0, "line 3"},
        SHexCase{"LengthFieldTooLong", 16, Edit(3, [](auto& s) { s.replace(1, 2, "FF"); }), ELoadState::Damaged,
                 0, "line 3"},
        SHexCase{"LineIsNoRecord", 16, Edit(3, [](auto& s) { s.insert(0, "hello "); }), ELoadState::Damaged, 0,
                 "line 3: line is not a record"},
        SHexCase{"CutInsideRecord", 16, [](auto L) { return Join(L).substr(0, 17 + 2 * 45 + 20); },
                 ELoadState::Damaged, 0, "line 4: file ends inside a record"},
        SHexCase{"NoEndOfFileRecord", 16, [](auto L) { return L.pop_back(), Join(L) + "0102"; },
                 ELoadState::Damaged, 0, "no end-of-file record"},
        SHexCase{"EmptyFile", 16, [](auto) { return std::string(); }, ELoadState::Damaged, 0,
                 "line 1: no end-of-file record"}),
    [](const auto& AInfo) { return std::string(AInfo.param.szName); });

} // namespace
