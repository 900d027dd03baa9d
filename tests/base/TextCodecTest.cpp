// UTF-8 as the program meets it in ver.txt and file names: broken bytes
// become U+FFFD one bad byte at a time and are reported, a lone surrogate
// never reaches a file name or the terminal, and nothing throws.
#include <gtest/gtest.h>

#include "TextCodec.h"

TEST(TextCodec, BrokenUtf8AndLoneSurrogatesBecomeReplacements)
{
    const std::wstring X(1, L'\uFFFD');
    const std::pair<const char*, std::wstring> kBroken[] = {
        {"a\xD0\x96\xF0\x9F\x98\x80", L"a\u0416\U0001F600"}, // valid: two, three and four bytes
        {"\xC3", X},                                          // cut short at the end
        {"\xE2\x82" "A", X + X + L"A"},                       // cut short before a letter
        {"\xC0\x80", X + X},                                  // an overlong NUL
        {"\xED\xA0\x80", X + X + X},                          // an encoded surrogate
        {"\xF4\x90\x80\x80\xFF", X + X + X + X + X}};         // past U+10FFFF; no lead byte
    for (const auto& [szBytes, strWide] : kBroken) {
        std::wstring strOut = L"left over";
        EXPECT_EQ(Utf8ToWide(szBytes, strOut), strWide.find(X) == std::wstring::npos) << szBytes;
        EXPECT_EQ(strOut, strWide) << szBytes;
    }
    const auto Units = [](std::initializer_list<int> Codes) { return std::wstring(Codes.begin(), Codes.end()); };
    EXPECT_EQ(WideToUtf8(L"a\u0416\U0001F600"), "a\xD0\x96\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(Units({'a', 0xD800})), "a\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(Units({0xDC00, 'b', 0xD800, 'c'})), "\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c");
}
