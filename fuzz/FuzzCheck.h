#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

// A property the fuzzed code must keep. A broken one aborts, which libFuzzer
// reports with the input that broke it, like a sanitizer finding.
#define FUZZ_REQUIRE(bCondition)                                                            \
    do {                                                                                    \
        if (!(bCondition)) {                                                                \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__,      \
                         #bCondition);                                                      \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

// The fuzzer's input as a file in memory, so that a reader opens, measures
// and reads it by name like a file on disk, without touching the disk.
class CMemoryFile {
public:
    CMemoryFile(const std::uint8_t* pData, std::size_t nSize) : m_fd(memfd_create("fuzz-input", 0))
    {
        std::size_t nDone = 0;
        while (m_fd >= 0 && nDone < nSize) {
            const ssize_t nWritten = write(m_fd, pData + nDone, nSize - nDone);
            if (nWritten <= 0)
                break;
            nDone += static_cast<std::size_t>(nWritten);
        }
        FUZZ_REQUIRE(m_fd >= 0 && nDone == nSize);
    }
    ~CMemoryFile()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    CMemoryFile(const CMemoryFile&) = delete;
    CMemoryFile& operator=(const CMemoryFile&) = delete;

    // Opening this path gives a new stream at offset 0.
    std::filesystem::path GetPath() const { return "/proc/self/fd/" + std::to_string(m_fd); }

private:
    int m_fd;
};
