#include "ImageFile.h"

#include <cstdint>

FilePtr OpenImageFile(const std::filesystem::path& Path)
{
    return FilePtr(std::fopen(Path.c_str(), "rb"));
}

bool MeasureRest(std::FILE* pFile, std::uint64_t& uRest)
{
    const long nStart = std::ftell(pFile);
    if (nStart < 0)
        return false;
    if (std::fseek(pFile, 0, SEEK_END) != 0)
        return false;
    const long nEnd = std::ftell(pFile);
    if (std::fseek(pFile, nStart, SEEK_SET) != 0 || nEnd < nStart)
        return false;
    uRest = static_cast<std::uint64_t>(nEnd - nStart);
    return true;
}

std::wstring GetTraceName(const std::filesystem::path& Path)
{
    const std::string& strBytes = Path.native();
    std::wstring wzName;
    wzName.reserve(strBytes.size());
    std::size_t i = 0;
    while (i < strBytes.size()) {
        const auto bt = static_cast<unsigned char>(strBytes[i]);
        std::size_t nTrail = 0;
        char32_t c = bt;
        if (bt >= 0xC2 && bt <= 0xDF) {
            nTrail = 1;
            c = bt & 0x1F;
        } else if (bt >= 0xE0 && bt <= 0xEF) {
            nTrail = 2;
            c = bt & 0x0F;
        } else if (bt >= 0xF0 && bt <= 0xF4) {
            nTrail = 3;
            c = bt & 0x07;
        } else if (bt >= 0x80) {
            nTrail = SIZE_MAX; // a stray continuation byte or an invalid lead byte
        }
        bool bValid = nTrail != SIZE_MAX && i + nTrail < strBytes.size();
        for (std::size_t k = 1; bValid && k <= nTrail; ++k) {
            const auto btNext = static_cast<unsigned char>(strBytes[i + k]);
            bValid = (btNext & 0xC0) == 0x80;
            c = (c << 6) | (btNext & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (bValid && ((nTrail == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) ||
                       (nTrail == 3 && (c < 0x10000 || c > 0x10FFFF))))
            bValid = false;
        if (bValid) {
            wzName += static_cast<wchar_t>(c);
            i += nTrail + 1;
        } else {
            wzName += L'\uFFFD';
            ++i;
        }
    }
    return wzName;
}
