// ver.txt as users save it: UTF-8 with or without its mark, code page 1251,
// line ends of every kind.
#include <gtest/gtest.h>

#include "VersionFile.h"

TEST(VersionFile, LinesWithoutTheirEndsInUtf8OrCp1251)
{
    auto Lines = ParseVersionText("\xEF\xBB\xBFРД-1\r\n0102\r\n0003");
    EXPECT_EQ(Lines[0], L"РД-1");
    EXPECT_EQ(Lines[1], L"0102");
    EXPECT_EQ(Lines[2], L"0003");
    EXPECT_EQ(Lines[3], L"");
    Lines = ParseVersionText("\xD0\xC4-2\n");  // "РД-2" in code page 1251
    EXPECT_EQ(Lines[0], L"РД-2");
}

// Found by fuzz_version: the third line ended in CR CR LF and kept a CR.
TEST(VersionFile, EveryCarriageReturnBeforeTheLineFeedGoes)
{
    const auto Lines = ParseVersionText("R0102\r\n0005b2\na1\r\r\n");
    EXPECT_EQ(Lines[0], L"R0102");
    EXPECT_EQ(Lines[1], L"0005b2");
    EXPECT_EQ(Lines[2], L"a1");
}
