#include "VersionFile.h"

#include <cwchar>
#include <fstream>
#include <iterator>

#include "TextCodec.h"

namespace {

std::wstring FromCp1251(std::string_view szBytes)
{
    // 0x80..0xBF of code page 1251; 0xC0..0xFF are U+0410..U+044F.
    static const char16_t kHigh[64] = {
        0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
        0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
        0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
        0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
        0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};
    std::wstring strOut;
    for (const char c : szBytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            strOut += static_cast<wchar_t>(b);
        else if (b < 0xC0)
            strOut += static_cast<wchar_t>(kHigh[b - 0x80]);
        else
            strOut += static_cast<wchar_t>(0x0410 + (b - 0xC0));
    }
    return strOut;
}

} // namespace

std::array<std::wstring, 4> ParseVersionText(std::string_view szBytes)
{
    if (szBytes.substr(0, 3) == "\xEF\xBB\xBF")
        szBytes.remove_prefix(3);
    std::wstring strText;
    if (!Utf8ToWide(szBytes, strText))
        strText = FromCp1251(szBytes);
    std::array<std::wstring, 4> Lines;
    std::size_t nLine = 0;
    std::size_t nStart = 0;
    while (nLine < Lines.size() && nStart <= strText.size()) {
        std::size_t nEnd = strText.find(L'\n', nStart);
        const bool bLast = nEnd == std::wstring::npos;
        if (bLast)
            nEnd = strText.size();
        std::wstring strLine = strText.substr(nStart, nEnd - nStart);
        // A file converted to CR LF twice ends its lines in CR CR LF; no CR
        // belongs in a version label.
        while (!strLine.empty() && strLine.back() == L'\r')
            strLine.pop_back();
        Lines[nLine++] = std::move(strLine);
        if (bLast)
            break;
        nStart = nEnd + 1;
    }
    return Lines;
}

std::array<std::wstring, 4> ReadVersionFile(const std::filesystem::path& Path)
{
    std::ifstream AFile(Path, std::ios::binary);
    if (!AFile)
        return {};
    // Four short lines; anything beyond 64 KiB is not a version file.
    std::string strBytes;
    strBytes.resize(std::size_t{64} * 1024);
    AFile.read(strBytes.data(), static_cast<std::streamsize>(strBytes.size()));
    strBytes.resize(static_cast<std::size_t>(AFile.gcount()));
    return ParseVersionText(strBytes);
}

std::wstring FormatVersion(std::uint16_t uVersion)
{
    wchar_t wzBuf[8] = {};
    std::swprintf(wzBuf, 8, L"%04x", static_cast<unsigned>(uVersion));
    return wzBuf;
}
