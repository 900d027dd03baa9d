// HEX files made by tools nobody here wrote (objcopy, srec_cat) load whole:
// every record in order, with the source bytes at their addresses.
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include "File_Project.h"
#include "ImageTestKit_Posix.h"

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
    const CUpdateFolder AFolder;
    const Bytes btSource = RandomBytes(70000, 7); // crosses a 64 KiB segment
    const auto PathIn = AFolder.Write("firmware.bin", btSource);
    const auto PathOut = AFolder.GetPath() / "AC7811_project.hex";
    std::vector<std::string> Args = GetParam().Args;
    for (auto& str : Args)
        str = str == "IN" ? PathIn.string() : str == "OUT" ? PathOut.string() : str;
    ASSERT_TRUE(RunTool(Args)) << "could not run " << Args[0];

    const std::string strText = ReadWholeFile(PathOut);
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

} // namespace
