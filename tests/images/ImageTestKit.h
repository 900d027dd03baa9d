#pragma once
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A temporary folder whose name holds a space and a non-ASCII letter, so
// every load also shows that such paths open.
struct STempFolder {
    std::filesystem::path Path;
    STempFolder()
    {
        std::random_device ARandom;
        const std::string strName = "images test \xC3\xBC-" + std::to_string(ARandom());
        Path = std::filesystem::temp_directory_path() / std::filesystem::path(std::u8string(strName.begin(), strName.end()));
        std::filesystem::create_directory(Path);
    }
    ~STempFolder() { std::filesystem::remove_all(Path); }
    std::filesystem::path Write(const std::string& strName, const auto& Contents) const
    {
        std::ofstream(Path / strName, std::ios::binary).write(reinterpret_cast<const char*>(Contents.data()),
                                                              static_cast<std::streamsize>(Contents.size()));
        return Path / strName;
    }
};

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
