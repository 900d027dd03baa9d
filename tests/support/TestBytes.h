#pragma once
// Bytes, files and Intel HEX records as the tests make and read them, on
// every platform.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "TextCodec.h"

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

// Whether UTF-8 text holds a Cyrillic letter (U+0400 to U+04FF).
inline bool HasCyrillic(std::string_view strText)
{
    for (std::size_t n = 0; n + 1 < strText.size(); ++n)
        if (const auto bt = static_cast<unsigned char>(strText[n]); bt >= 0xD0 && bt <= 0xD3)
            return true;
    return false;
}

// A temporary folder of update files, removed with the object. Its name
// holds a space and a non-ASCII letter, so that every test that uses it
// also shows that such folders work.
class CUpdateFolder {
public:
    CUpdateFolder()
    {
        std::random_device ARandom;
        const std::string strName = "iap files \xC3\xBC-" + std::to_string(ARandom());
        m_Path = std::filesystem::temp_directory_path() / std::filesystem::path(std::u8string(strName.begin(), strName.end()));
        std::filesystem::create_directory(m_Path);
    }
    ~CUpdateFolder()
    {
        std::error_code AError;
        std::filesystem::remove_all(m_Path, AError);
    }
    CUpdateFolder(const CUpdateFolder&) = delete;
    CUpdateFolder& operator=(const CUpdateFolder&) = delete;

    const std::filesystem::path& GetPath() const { return m_Path; }
    // The folder as the worker takes it: wide text, with its separator.
    std::wstring GetFolderText() const { return PathToWide(m_Path / ""); }
    // Writes a file of the folder (text or bytes); answers its path.
    std::filesystem::path Write(const std::string& strName, std::string_view strText) const
    {
        std::ofstream(m_Path / strName, std::ios::binary)
            .write(strText.data(), static_cast<std::streamsize>(strText.size()));
        return m_Path / strName;
    }
    std::filesystem::path Write(const std::string& strName, const Bytes& Data) const
    {
        return Write(strName, std::string_view(reinterpret_cast<const char*>(Data.data()), Data.size()));
    }

private:
    std::filesystem::path m_Path;
};
