#pragma once
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A temporary folder whose name holds a space and a non-ASCII letter, so
// every load also shows that such paths open.
struct STempFolder {
    std::filesystem::path Path;
    STempFolder()
    {
        std::string str = (std::filesystem::temp_directory_path() / "images test ü-XXXXXX").string();
        Path = ::mkdtemp(str.data()) ? str : throw std::runtime_error("mkdtemp");
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

// Runs a program without a shell; true when it exits with 0.
inline bool RunTool(std::vector<std::string> Args)
{
    std::vector<char*> pArgv;
    for (auto& str : Args)
        pArgv.push_back(str.data());
    pArgv.push_back(nullptr);
    pid_t nPid = 0;
    int nStatus = 0;
    if (Args[0].empty() || ::posix_spawn(&nPid, pArgv[0], nullptr, nullptr, pArgv.data(), nullptr) != 0)
        return false;
    while (::waitpid(nPid, &nStatus, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0;
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

// A stream that seeks over all of btData but delivers only its first nGood
// bytes; then its reads fail with EIO, or end when bFail is false.
struct SFailingStream {
    Bytes btData;
    std::size_t nGood;
    bool bFail;
    off64_t nPosition = 0;

    static std::FILE* Open(const Bytes& btData, std::size_t nGood, bool bFail)
    {
        const cookie_io_functions_t AIo{
            [](void* p, char* pBuf, size_t nSize) -> ssize_t {
                auto& A = *static_cast<SFailingStream*>(p);
                const auto nPos = static_cast<std::size_t>(A.nPosition);
                if (nPos >= A.nGood)
                    return A.bFail ? (errno = EIO, -1) : 0;
                const std::size_t nCount = std::min(nSize, A.nGood - nPos);
                std::memcpy(pBuf, A.btData.data() + nPos, nCount);
                A.nPosition += static_cast<off64_t>(nCount);
                return static_cast<ssize_t>(nCount);
            },
            nullptr,
            [](void* p, off64_t* pOffset, int nWhence) {
                auto& A = *static_cast<SFailingStream*>(p);
                const auto nSize = static_cast<off64_t>(A.btData.size());
                *pOffset += nWhence == SEEK_SET ? 0 : nWhence == SEEK_CUR ? A.nPosition : nSize;
                A.nPosition = *pOffset;
                return 0;
            },
            [](void* p) {
                const std::unique_ptr<SFailingStream> pOwned(static_cast<SFailingStream*>(p));
                return 0;
            }};
        auto pStream = std::make_unique<SFailingStream>(SFailingStream{btData, nGood, bFail});
        std::FILE* pFile = ::fopencookie(pStream.get(), "rb", AIo);
        if (pFile != nullptr)
            pStream.release(); // now owned by the stream's close function
        return pFile;
    }
};
