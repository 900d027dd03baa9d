#pragma once
#include <array>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <span>
#include <string>
#include <string_view>

#include "Language.h"

// The texts the engine, iap-cli, iap-sim and iap-tool's terminal lines speak
// in, one row each with a column per language (ELanguage's order, Russian
// first). The Russian text is the row's key: code names a text by it, so
// that a Russian text reads in the code as the driver reads it, and a key
// that is not in the table does not compile. Formatted texts carry {1},
// {2}, ... where FormatText puts its values, in whatever order a language
// needs them; numbers are written by the code, never by a format string of
// the table. The windows' own texts are Qt's translations
// (translations/*.ts); what they show of the engine comes from here.
using CTextRow = std::array<std::string_view, kLanguageCount>;

#include "TextTable.h"

// A row of the catalogue, found at compile time by its Russian text.
class CTextKey {
public:
    // A text that is not a key of the catalogue fails to compile here.
    consteval CTextKey(const char* szRussian) : m_nRow(FindRow(szRussian)) {}
    constexpr std::size_t GetRow() const { return m_nRow; }

private:
    static consteval std::size_t FindRow(std::string_view strRussian)
    {
        for (std::size_t n = 0; n < std::size(kTextTable); ++n)
            if (kTextTable[n][0] == strRussian)
                return n;
        throw "the text is not in the catalogue (TextTable.h)";
    }

    std::size_t m_nRow;
};

// The text in one language. Any thread.
std::string_view GetText(ELanguage eLanguage, CTextKey AKey);
// The text with {1}, {2}, ... replaced by Values (UTF-8), first to last.
std::string FormatText(ELanguage eLanguage, CTextKey AKey, std::initializer_list<std::string_view> Values);
// The same as wide text, for the engine's wide interfaces.
std::wstring FormatWideText(ELanguage eLanguage, CTextKey AKey, std::initializer_list<std::string_view> Values = {});

// The replacement itself: {n} stands for the n-th value (1 to 9); a
// placeholder without a value is left as it is.
std::string FillIn(std::string_view strPattern, std::initializer_list<std::string_view> Values);
// Every row, for the checks of the table itself.
std::span<const CTextRow> GetTextTable();
