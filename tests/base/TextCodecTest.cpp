// UTF-8 as the program meets it: broken bytes from ver.txt and file names
// become U+FFFD one bad byte at a time and are reported, a lone surrogate
// never reaches a file name or the terminal, and nothing throws.
#include <gtest/gtest.h>

#include "TextCodec.h"

namespace {

const std::wstring kBad(1, L'\uFFFD');

std::wstring Wide(std::initializer_list<unsigned> Units)
{
    std::wstring str;
    for (const unsigned u : Units)
        str += static_cast<wchar_t>(u);
    return str;
}

} // namespace

TEST(TextCodec, BrokenUtf8BecomesOneReplacementPerBadByte)
{
    const struct {
        const char* szBytes;
        std::wstring strWide;
        bool bValid;
    } kRows[] = {
        {"", L"", true},
        {"a\xD0\x96\xF0\x9F\x98\x80", L"a\u0416\U0001F600", true},
        {"\xC3", kBad, false},                                 // cut short at the end
        {"\xE2\x82" "A", kBad + kBad + L"A", false},           // cut short before a letter
        {"\xC0\x80", kBad + kBad, false},                      // overlong NUL
        {"\xED\xA0\x80", kBad + kBad + kBad, false},           // an encoded surrogate
        {"\xF4\x90\x80\x80", kBad + kBad + kBad + kBad, false}, // past U+10FFFF
        {"\xFF\x80z", kBad + kBad + L"z", false},              // no lead byte, a stray continuation
    };
    for (const auto& ARow : kRows) {
        std::wstring strOut = L"left over";
        EXPECT_EQ(Utf8ToWide(ARow.szBytes, strOut), ARow.bValid) << ARow.szBytes;
        EXPECT_EQ(strOut, ARow.strWide) << ARow.szBytes;
    }
}

TEST(TextCodec, LoneSurrogatesBecomeReplacements)
{
    EXPECT_EQ(WideToUtf8(L"a\u0416\U0001F600"), "a\xD0\x96\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(Wide({'a', 0xD800})), "a\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(Wide({0xDC00, 'b'})), "\xEF\xBF\xBD" "b");
    EXPECT_EQ(WideToUtf8(Wide({0xD800, 'c', 0xDFFF})), "\xEF\xBF\xBD" "c\xEF\xBF\xBD");
    EXPECT_EQ(PathToWide(PathFromWide(L"Обновление 2026")), L"Обновление 2026");
}
