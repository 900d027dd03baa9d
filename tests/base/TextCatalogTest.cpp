// The text catalogue itself: whole rows, one key each, the same values in
// every language, and how values are filled in and --lang is read.
#include <gtest/gtest.h>
#include <set>

#include "CommandLine.h"
#include "TestBytes.h"
#include "TextCatalog.h"

namespace {

// The placeholders a text fills in, each once however often it stands.
std::set<char> GetPlaceholders(std::string_view strText)
{
    std::set<char> Placeholders;
    for (std::size_t n = 0; n + 2 < strText.size(); ++n)
        if (strText[n] == '{' && strText[n + 2] == '}' && strText[n + 1] >= '1' && strText[n + 1] <= '9')
            Placeholders.insert(strText[n + 1]);
    return Placeholders;
}

} // namespace

TEST(TextCatalog, EveryRowSaysTheSameInEveryLanguage)
{
    std::set<std::string_view> Keys;
    for (const CTextRow& ARow : GetTextTable()) {
        const std::string_view strKey = ARow[static_cast<std::size_t>(ELanguage::Russian)];
        EXPECT_TRUE(Keys.insert(strKey).second) << "a second row for " << strKey;
        for (const std::string_view strText : ARow) {
            EXPECT_FALSE(strText.empty()) << strKey;
            EXPECT_EQ(GetPlaceholders(strText), GetPlaceholders(strKey)) << strText;
        }
        EXPECT_FALSE(HasCyrillic(ARow[static_cast<std::size_t>(ELanguage::English)])) << strKey;
    }
}

TEST(TextCatalog, FillsInValuesAndReadsTheLanguageOption)
{
    const struct {
        std::string_view strPattern;
        std::string_view strFilled;
    } kFills[] = {
        {"{1} и {2}", "a и b"}, {"{2}, {1}, {2}", "b, a, b"}, {"{3} {0} {1", "{3} {0} {1"}, {"{1}{2}", "ab"}};
    for (const auto& ARow : kFills)
        EXPECT_EQ(FillIn(ARow.strPattern, {"a", "b"}), ARow.strFilled) << ARow.strPattern;
    EXPECT_EQ(FormatText(ELanguage::English, "Файл {1} повреждён в строке {2}", {"x.hex", "7"}),
              "The file x.hex is damaged at line 7");

    using AArgs = std::vector<std::string>;
    const struct {
        AArgs Args;
        std::optional<ELanguage> Language;
    } kOptions[] = {{{"--lang", "en"}, ELanguage::English},
                    {{"--folder", "x", "--lang=ru"}, ELanguage::Russian},
                    {{"--lang", "ru", "--lang", "en"}, ELanguage::English},
                    {{"--lang", "de"}, std::nullopt},
                    {{"--lang"}, std::nullopt},
                    {{"--language", "ru"}, std::nullopt}};
    for (const auto& ARow : kOptions)
        EXPECT_EQ(CCommandLine::FindLanguageOption(ARow.Args), ARow.Language) << ARow.Args.back();
}
