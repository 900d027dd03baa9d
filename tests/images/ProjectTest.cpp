#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include "File_Project.h"
#include "ImageTestKit.h"

namespace {

// The flash contents the data records describe, from 0x08000000 on.
Bytes FlashImage(const CFile_Project& AImage)
{
    Bytes btFlash;
    std::size_t nUpper = 0;
    for (const CPacket_Hex& A : AImage.GetRecords()) {
        if (A.GetType() == 4)
            nUpper = static_cast<std::size_t>(A.GetData()[0] << 8 | A.GetData()[1]) << 16;
        if (A.GetType() != 0)
            continue;
        const std::size_t nAt = nUpper + A.GetAddress() - 0x08000000;
        btFlash.resize(std::max(btFlash.size(), nAt + A.GetLength()));
        std::copy_n(A.GetData(), A.GetLength(), btFlash.begin() + static_cast<long>(nAt));
    }
    return btFlash;
}

// The ':' lines of a text, without line ends, in upper case.
std::vector<std::string> RecordLines(const std::string& strText)
{
    std::vector<std::string> Lines;
    for (std::size_t nStart = 0, nEnd = 0; nStart < strText.size(); nStart = nEnd + 1) {
        nEnd = std::min(strText.find('\n', nStart), strText.size());
        std::string str = strText.substr(nStart, nEnd - nStart);
        str.erase(std::remove(str.begin(), str.end(), '\r'), str.end());
        std::transform(str.begin(), str.end(), str.begin(), ::toupper);
        if (str.starts_with(":"))
            Lines.push_back(str);
    }
    return Lines;
}

struct SToolCase {
    const char* szName;
    std::vector<std::string> Args; // "IN" and "OUT" stand for the two files
    int nRecordLength;
    bool bCrLf;
    bool bStartRecord;
};

class ProjectFromTools : public testing::TestWithParam<SToolCase> {};

TEST_P(ProjectFromTools, ReadsEveryRecordInOrderWithTheSourceBytes)
{
    const STempFolder AFolder;
    const Bytes btSource = RandomBytes(70000, 7); // crosses a 64 KiB segment
    const auto PathIn = AFolder.Write("firmware.bin", btSource);
    const auto PathOut = AFolder.Path / "AC7811_project.hex";
    std::vector<std::string> Args = GetParam().Args;
    for (auto& str : Args)
        str = str == "IN" ? PathIn.string() : str == "OUT" ? PathOut.string() : str;
    ASSERT_TRUE(RunTool(Args)) << "could not run " << Args[0];

    std::ifstream AFile(PathOut, std::ios::binary);
    const std::string strText{std::istreambuf_iterator<char>(AFile), {}};
    ASSERT_EQ(strText.find("\r\n") != std::string::npos, GetParam().bCrLf);
    AFolder.Write("AC7811_project.hex", strText + "0419");
    CFile_Project AImage(17, 45, 21, 13);
    EXPECT_EQ(AImage.Load(PathOut), 1);
    EXPECT_EQ(AImage.GetLoadState(), ELoadState::Loaded);
    EXPECT_EQ(AImage.GetHexVer(), 0x0419);

    const std::vector<std::string> Lines = RecordLines(strText);
    ASSERT_EQ(AImage.GetRecordCount(), Lines.size());
    int nLongest = 0;
    bool bStart = false;
    for (std::size_t i = 0; i < Lines.size(); ++i) {
        const CPacket_Hex& A = AImage.GetRecords()[i];
        EXPECT_EQ(RecordLine(A.GetType(), A.GetAddress(), A.GetData(), A.GetLength()), Lines[i]) << i;
        EXPECT_EQ(A.GetChecksum(), std::stoi(Lines[i].substr(Lines[i].size() - 2), nullptr, 16));
        nLongest = std::max<int>(nLongest, A.GetLength());
        bStart = bStart || A.GetType() == 5;
    }
    EXPECT_EQ(nLongest, GetParam().nRecordLength);
    EXPECT_EQ(bStart, GetParam().bStartRecord);
    EXPECT_EQ(FlashImage(AImage), btSource);
}

std::vector<std::string> SrecCat(const char* szLineLength)
{
    return {IAP_SREC_CAT, "IN",     "-binary", "-offset",      "0x08000000",
            "-o",         "OUT",    "-intel",  "-line-length", szLineLength};
}

INSTANTIATE_TEST_SUITE_P(
    Tools, ProjectFromTools,
    testing::Values(SToolCase{"Objcopy",
                              {IAP_OBJCOPY, "-I", "binary", "-O", "ihex", "--change-addresses",
                               "0x08000000", "IN", "OUT"},
                              16, true, true},
                    SToolCase{"SrecCat16", SrecCat("44"), 16, false, false},
                    SToolCase{"SrecCat32", SrecCat("76"), 32, false, false},
                    SToolCase{"SrecCat255", SrecCat("600"), 255, false, false}),
    [](const auto& AInfo) { return std::string(AInfo.param.szName); });

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
    const STempFolder AFolder;
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

TEST(Project, GetRecordCopiesWithinTheCountOnly)
{
    const STempFolder AFolder;
    Bytes btData;
    CFile_Project AImage(17, 45, 21, 13);
    ASSERT_EQ(AImage.Load(AFolder.Write("a.hex", Join(SoundLines(16, btData)))), 1);
    CPacket_Hex ARecord;
    ASSERT_EQ(AImage.GetRecord(1, ARecord), 1);
    EXPECT_EQ(ARecord.GetBytes().At(2), 0x10); // offset 0x4010, low byte first
    EXPECT_EQ(ARecord.GetBytes().At(3), 0x40);
    EXPECT_EQ(AImage.GetRecord(AImage.GetRecordCount(), ARecord), 0);
    EXPECT_EQ(ARecord.GetAddress(), 0x4010);
}

} // namespace
