#include "ImageFile.h"

#include <cstdint>

#include "TextCodec.h"


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

std::wstring GetTraceName(const std::filesystem::path& Path) { return PathToWide(Path); }
