#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "RawString.h"

namespace {
const std::uint8_t* Bytes(const char* sz) { return reinterpret_cast<const std::uint8_t*>(sz); }
std::string Text(const CRawString& str)
{
    return std::string(reinterpret_cast<const char*>(str.GetData()), str.GetLength());
}
} // namespace

TEST(RawString, KeepsTwoZeroBytesAfterEveryChange)
{
    CRawString str;
    ASSERT_TRUE(str.Assign(Bytes("abc"), 3));
    EXPECT_EQ(std::strcmp(reinterpret_cast<const char*>(str.GetData()), "abc"), 0);
    ASSERT_TRUE(str.Append(Bytes("de"), 2));
    EXPECT_EQ(str.GetData()[5], 0);
    EXPECT_EQ(str.GetData()[6], 0);
    ASSERT_TRUE(str.Erase(1, 100));
    EXPECT_EQ(Text(str), "a");
    EXPECT_EQ(str.GetData()[1], 0);
    EXPECT_EQ(str.GetData()[2], 0);
}

TEST(RawString, AssignRejectsBadArgumentsAndChangesNothing)
{
    CRawString str(Bytes("xyz"), 3);
    EXPECT_FALSE(str.Assign(nullptr, 2));
    EXPECT_FALSE(str.Assign(Bytes("a"), -1));
    EXPECT_FALSE(str.Assign(str.GetData(), 1));
    EXPECT_EQ(Text(str), "xyz");
    EXPECT_TRUE(str.Assign(Bytes("q"), 0));
    EXPECT_EQ(str.GetLength(), 0);
    EXPECT_TRUE(str.IsAllocated());
}

TEST(RawString, AppendOfItsOwnBytesIsSafe)
{
    CRawString str(Bytes("ab"), 2);
    EXPECT_FALSE(str.Append(nullptr, 1));
    EXPECT_FALSE(str.Append(Bytes("c"), 0));
    ASSERT_TRUE(str.Append(str.GetData(), str.GetLength()));
    EXPECT_EQ(Text(str), "abab");
}

struct CEraseCase {
    int nPos, nCount;
    bool bOk;
    const char* szAfter;
};

class RawStringErase : public testing::TestWithParam<CEraseCase> {};

TEST_P(RawStringErase, CutsOrRefuses)
{
    const CEraseCase& ACase = GetParam();
    CRawString str(Bytes("012345"), 6);
    EXPECT_EQ(str.Erase(ACase.nPos, ACase.nCount), ACase.bOk);
    EXPECT_EQ(Text(str), ACase.szAfter);
}

INSTANTIATE_TEST_SUITE_P(Table, RawStringErase,
                         testing::Values(CEraseCase{0, 2, true, "2345"}, CEraseCase{4, 9, true, "0123"},
                                         CEraseCase{0, 6, true, ""}, CEraseCase{6, 1, false, "012345"},
                                         CEraseCase{-1, 1, false, "012345"},
                                         CEraseCase{2, 0, false, "012345"}));

TEST(RawString, FindAndAtAnswerMinusOneOrZeroOutsideTheContents)
{
    CRawString str(Bytes("abcabc"), 6);
    EXPECT_EQ(str.Find(Bytes("bc"), 2, 0), 1);
    EXPECT_EQ(str.Find(Bytes("bc"), 2, 2), 4);
    EXPECT_EQ(str.Find(Bytes("bc"), 2, 5), -1);
    EXPECT_EQ(str.Find(nullptr, 2, 0), -1);
    EXPECT_EQ(str.Find(Bytes("abcabca"), 7, 0), -1);
    EXPECT_EQ(str.Find(Bytes("a"), 0, 0), -1);
    EXPECT_EQ(str.Find(Bytes("a"), 1, -1), -1);
    EXPECT_EQ(CRawString().Find(Bytes("a"), 1, 0), -1);
    EXPECT_EQ(str.At(0), 'a');
    EXPECT_EQ(str.At(-1), 0);
    EXPECT_EQ(str.At(6), 0);
}

TEST(RawString, CopiesAreDeep)
{
    CRawString str(Bytes("abc"), 3);
    CRawString strCopy(str);
    str.Assign(Bytes("zz"), 2);
    EXPECT_EQ(Text(strCopy), "abc");
    EXPECT_NE(strCopy.GetData(), str.GetData());
}

namespace {
bool FindBadIndices(const CRawString&, std::int32_t& nHead, std::int32_t& nTail)
{
    nHead = 3;
    nTail = 99;
    return true;
}
} // namespace

TEST(RawString, ExtractRefusesIndicesOutsideTheBuffer)
{
    CRawString str(Bytes("abcdef"), 6);
    CRawString strFrame;
    EXPECT_FALSE(str.Extract(&FindBadIndices, strFrame, true));
    EXPECT_FALSE(str.Extract(nullptr, strFrame, true));
    EXPECT_EQ(Text(str), "abcdef");
}
