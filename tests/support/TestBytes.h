#pragma once
// Bytes, files and Intel HEX records as the tests make and read them, on
// every platform.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline Bytes RandomBytes(std::size_t nCount, std::uint32_t uSeed)
{
    std::mt19937 AGen(uSeed);
    Bytes btData(nCount);
    for (auto& bt : btData)
        bt = static_cast<std::uint8_t>(AGen());
    return btData;
}

// A record line with upper-case digits and a correct checksum, no line end.
inline std::string RecordLine(std::uint8_t btType, std::uint16_t uAddress, const std::uint8_t* pData,
                              std::size_t nData)
{
    Bytes btRecord = {static_cast<std::uint8_t>(nData), static_cast<std::uint8_t>(uAddress >> 8),
                      static_cast<std::uint8_t>(uAddress), btType};
    btRecord.insert(btRecord.end(), pData, pData + nData);
    std::uint8_t btSum = 0;
    for (auto bt : btRecord)
        btSum = static_cast<std::uint8_t>(btSum - bt);
    btRecord.push_back(btSum);
    std::string strLine = ":";
    for (auto bt : btRecord)
        strLine += {"0123456789ABCDEF"[bt >> 4], "0123456789ABCDEF"[bt & 0xF]};
    return strLine;
}

inline std::string RecordLine(std::uint8_t btType, std::uint16_t uAddress, const Bytes& btData)
{
    return RecordLine(btType, uAddress, btData.data(), btData.size());
}

// A file's whole contents (empty when it cannot be read), as text or bytes.
inline std::string ReadWholeFile(const std::filesystem::path& Path)
{
    std::ifstream AFile(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(AFile), std::istreambuf_iterator<char>()};
}

inline Bytes ReadFileBytes(const std::filesystem::path& Path)
{
    const std::string strBytes = ReadWholeFile(Path);
    return Bytes(strBytes.begin(), strBytes.end());
}
