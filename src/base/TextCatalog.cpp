#include "TextCatalog.h"

#include "TextCodec.h"

std::string_view GetText(ELanguage eLanguage, CTextKey AKey)
{
    return kTextTable[AKey.GetRow()][static_cast<std::size_t>(eLanguage)];
}

std::string FormatText(ELanguage eLanguage, CTextKey AKey, std::initializer_list<std::string_view> Values)
{
    return FillIn(GetText(eLanguage, AKey), Values);
}

std::wstring FormatWideText(ELanguage eLanguage, CTextKey AKey, std::initializer_list<std::string_view> Values)
{
    std::wstring strText;
    Utf8ToWide(FormatText(eLanguage, AKey, Values), strText);
    return strText;
}

std::string FillIn(std::string_view strPattern, std::initializer_list<std::string_view> Values)
{
    std::string strText;
    strText.reserve(strPattern.size());
    for (std::size_t n = 0; n < strPattern.size(); ++n) {
        const bool bPlaceholder = n + 2 < strPattern.size() && strPattern[n] == '{' && strPattern[n + 2] == '}' &&
                                  strPattern[n + 1] >= '1' && strPattern[n + 1] <= '9';
        const auto nValue = bPlaceholder ? static_cast<std::size_t>(strPattern[n + 1] - '1') : Values.size();
        if (nValue < Values.size()) {
            strText += Values.begin()[nValue];
            n += 2;
        } else {
            strText += strPattern[n];
        }
    }
    return strText;
}

std::span<const CTextRow> GetTextTable() { return kTextTable; }
