#include "TextCodec.h"

namespace {

void AppendUtf8(std::string& strOut, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        strOut += static_cast<char>(c);
    } else if (c < 0x800) {
        strOut += static_cast<char>(0xC0 | (c >> 6));
        strOut += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        strOut += static_cast<char>(0xE0 | (c >> 12));
        strOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        strOut += static_cast<char>(0xF0 | (c >> 18));
        strOut += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        strOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string WideToUtf8(std::wstring_view wzText)
{
    std::string strOut;
    strOut.reserve(wzText.size());
    for (std::size_t i = 0; i < wzText.size(); ++i) {
        char32_t c = static_cast<char32_t>(wzText[i]);
        // A UTF-16 surrogate pair (wchar_t is 16 bits on Windows).
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wzText.size()) {
            const char32_t cLow = static_cast<char32_t>(wzText[i + 1]);
            if (cLow >= 0xDC00 && cLow <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (cLow - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(strOut, c);
    }
    return strOut;
}

bool Utf8ToWide(std::string_view szText, std::wstring& strOut)
{
    strOut.clear();
    strOut.reserve(szText.size());
    bool bValid = true;
    std::size_t i = 0;
    while (i < szText.size()) {
        const auto b0 = static_cast<unsigned char>(szText[i]);
        std::size_t nMore = 0;
        char32_t c = b0;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            c = b0 & 0x1F;
            nMore = 1;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            c = b0 & 0x0F;
            nMore = 2;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            c = b0 & 0x07;
            nMore = 3;
        }
        // A stray continuation byte or an invalid lead byte is one bad byte.
        bool bGood = b0 < 0x80 || nMore > 0;
        bGood = bGood && i + nMore < szText.size();
        for (std::size_t k = 1; bGood && k <= nMore; ++k) {
            const auto b = static_cast<unsigned char>(szText[i + k]);
            bGood = (b & 0xC0) == 0x80;
            c = (c << 6) | (b & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        static constexpr char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
        bGood = bGood && c >= kMin[nMore] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        if (!bGood) {
            bValid = false;
            strOut += L'\uFFFD';
            ++i;
            continue;
        }
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0x10000) {
                c -= 0x10000;
                strOut += static_cast<wchar_t>(0xD800 + (c >> 10));
                strOut += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            } else {
                strOut += static_cast<wchar_t>(c);
            }
        } else {
            strOut += static_cast<wchar_t>(c);
        }
        i += nMore + 1;
    }
    return bValid;
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
