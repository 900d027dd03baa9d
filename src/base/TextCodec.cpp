#include "TextCodec.h"

#include <iterator>
#include <utf8.h>

namespace {

constexpr wchar_t kReplacement = L'\uFFFD';
// wchar_t holds UTF-16 on Windows and UTF-32 elsewhere.
constexpr bool kUtf16 = sizeof(wchar_t) == 2;

bool InRange(char32_t c, char32_t cFirst, char32_t cLast) { return c >= cFirst && c <= cLast; }

// UTF-8 has no form for a surrogate that is not half of a UTF-16 pair, nor
// for a value past U+10FFFF: each becomes U+FFFD, so that the conversion
// after this cannot fail.
std::wstring MaskUnencodable(std::wstring_view wzText)
{
    std::wstring strOut(wzText);
    for (std::size_t i = 0; i < strOut.size(); ++i) {
        const auto c = static_cast<char32_t>(strOut[i]);
        if (kUtf16 && InRange(c, 0xD800, 0xDBFF) && i + 1 < strOut.size() &&
            InRange(static_cast<char32_t>(strOut[i + 1]), 0xDC00, 0xDFFF))
            ++i;
        else if (InRange(c, 0xD800, 0xDFFF) || c > 0x10FFFF)
            strOut[i] = kReplacement;
    }
    return strOut;
}

} // namespace

std::string WideToUtf8(std::wstring_view wzText)
{
    const std::wstring strText = MaskUnencodable(wzText);
    std::string strOut;
    if constexpr (kUtf16)
        utf8::unchecked::utf16to8(strText.begin(), strText.end(), std::back_inserter(strOut));
    else
        utf8::unchecked::utf32to8(strText.begin(), strText.end(), std::back_inserter(strOut));
    return strOut;
}

bool Utf8ToWide(std::string_view szText, std::wstring& strOut)
{
    strOut.clear();
    bool bValid = true;
    for (;;) {
        const auto itBad = utf8::find_invalid(szText.begin(), szText.end());
        if constexpr (kUtf16)
            utf8::unchecked::utf8to16(szText.begin(), itBad, std::back_inserter(strOut));
        else
            utf8::unchecked::utf8to32(szText.begin(), itBad, std::back_inserter(strOut));
        if (itBad == szText.end())
            return bValid;
        // One replacement for each byte that starts no valid sequence: the
        // bytes after it are looked at again on their own.
        strOut += kReplacement;
        bValid = false;
        szText.remove_prefix(static_cast<std::size_t>(itBad - szText.begin()) + 1);
    }
}

std::filesystem::path PathFromWide(std::wstring_view wzText)
{
    const std::string strUtf8 = WideToUtf8(wzText);
    return std::filesystem::path(std::u8string(strUtf8.begin(), strUtf8.end()));
}

std::filesystem::path PathFromUtf8(std::string_view szText)
{
    return std::filesystem::path(std::u8string(szText.begin(), szText.end()));
}

std::wstring PathToWide(const std::filesystem::path& Path)
{
    const std::u8string strUtf8 = Path.u8string();
    std::wstring strWide;
    Utf8ToWide(std::string_view(reinterpret_cast<const char*>(strUtf8.data()), strUtf8.size()), strWide);
    return strWide;
}
