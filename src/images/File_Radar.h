#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "LoadState.h"
#include "Packet_Hex.h"
#include "RawString.h"

// The radar part's firmware: a raw image read whole, cut into blocks of
// 1024 bytes while that many remain, then 128 bytes, the last block holding
// the rest. A read that fails or ends before the measured size leaves the
// image damaged and empty: the device must never get a radar firmware with
// a piece missing.
class CFile_Radar : public CPacket_Hex {
public:
    // The four line lengths every image is made with; kept, not consulted.
    CFile_Radar(std::int32_t nLenExtAddress, std::int32_t nLenData, std::int32_t nLenStart,
                std::int32_t nLenEnd);

    // Reads the file at Path. When it cannot be opened the image is emptied
    // and absent, and the answer is 0. Otherwise answers Read's result.
    int Load(const std::filesystem::path& Path);
    // Reads the whole stream from its start: 1 when at least one block was
    // read and the image is whole, else 0. A stream that cannot seek, a
    // failing read or one that ends early damage the image.
    int Read(std::FILE* pFile, std::wstring_view wzSource = L"stream");
    // Reads up to btBuf.size() bytes at the read offset and advances the
    // offset by the requested length. Answers the number of bytes read.
    std::size_t ReadAt(std::FILE* pFile, std::span<std::uint8_t> btBuf);

    std::uint32_t GetBlockCount() const { return static_cast<std::uint32_t>(m_Blocks.size()); }
    // The measured size in bytes; 0 unless the image is loaded.
    std::uint32_t GetFileSize() const { return m_dwFileSize; }
    std::span<const CRawString> GetBlocks() const { return m_Blocks; }
    void ClearBlocks();

    ELoadState GetLoadState() const { return m_eState; }
    bool IsDamaged() const { return m_eState == ELoadState::Damaged; }
    // Where the last load found the file damaged; EWhere::None otherwise.
    const CLoadFault& GetLoadFault() const { return m_Fault; }

    static constexpr std::uint32_t kLargeBlock = 1024;
    static constexpr std::uint32_t kSmallBlock = 128;

private:
    // Marks the image damaged and empty, and says why in the trace.
    int SetDamaged(std::wstring_view wzSource, std::uint64_t uOffset, const wchar_t* wzFault);

    std::array<std::int32_t, 4> m_nLineLengths;
    std::int32_t m_nReadOffset = 0;
    std::uint32_t m_dwFileSize = 0;
    std::vector<CRawString> m_Blocks;
    ELoadState m_eState = ELoadState::Absent;
    CLoadFault m_Fault;
};
