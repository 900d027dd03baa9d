#pragma once
// The image tests' helpers that need POSIX and glibc: running the tools that
// make HEX files, and streams that fail part way.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestBytes.h"

// Runs a program without a shell; true when it exits with 0.
inline bool RunTool(std::vector<std::string> Args)
{
    return !Args[0].empty() && RunProgram(std::move(Args)).nExit == 0;
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
