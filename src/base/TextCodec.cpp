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
    std::size_t i = 0;
    while (i < szText.size()) {
        const auto b0 = static_cast<unsigned char>(szText[i]);
        int nMore = 0;
        char32_t c = 0;
        if (b0 < 0x80) {
            c = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            c = b0 & 0x1F;
            nMore = 1;
        } else if ((b0 & 0xF0) == 0xE0) {
            c = b0 & 0x0F;
            nMore = 2;
        } else if ((b0 & 0xF8) == 0xF0) {
            c = b0 & 0x07;
            nMore = 3;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(nMore) >= szText.size() && nMore > 0)
            return false;
        for (int k = 1; k <= nMore; ++k) {
            const auto b = static_cast<unsigned char>(szText[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (b & 0x3F);
        }
        static constexpr char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
        if (c < kMin[nMore] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
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
        i += static_cast<std::size_t>(nMore) + 1;
    }
    return true;
}

std::filesystem::path PathFromWide(std::wstring_view wzText)
{
    const std::string strUtf8 = WideToUtf8(wzText);
    return std::filesystem::path(std::u8string(strUtf8.begin(), strUtf8.end()));
}

std::wstring PathToWide(const std::filesystem::path& Path)
{
    const std::u8string strUtf8 = Path.u8string();
    std::wstring strWide;
    Utf8ToWide(std::string_view(reinterpret_cast<const char*>(strUtf8.data()), strUtf8.size()), strWide);
    return strWide;
}
