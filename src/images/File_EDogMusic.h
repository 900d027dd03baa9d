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

// A raw image sent byte for byte: the camera database or the sound data.
// It is read whole and cut into 4096-byte blocks, the last holding the rest.
// A read that fails, or a file that ends before the size it had when the
// read began, leaves the image damaged and empty, so a truncated database
// never reaches the device.
class CFile_EDogMusic : public CPacket_Hex {
public:
    // The four line lengths every image is made with; kept, not consulted.
    CFile_EDogMusic(std::int32_t nLenExtAddress, std::int32_t nLenData, std::int32_t nLenStart,
                    std::int32_t nLenEnd);

    // Reads the file at Path. When it cannot be opened the image is emptied
    // and absent, and the answer is 0. Otherwise answers Read's result.
    int Load(const std::filesystem::path& Path);
    // Reads the stream from its position to its end: 1 when at least one
    // block was read and the image is whole, else 0.
    int Read(std::FILE* pFile, std::wstring_view wzSource = L"stream");

    std::uint32_t GetBlockCount() const { return static_cast<std::uint32_t>(m_Blocks.size()); }
    std::span<const CRawString> GetBlocks() const { return m_Blocks; }
    void ClearBlocks();

    ELoadState GetLoadState() const { return m_eState; }
    bool IsDamaged() const { return m_eState == ELoadState::Damaged; }
    // Where the last load found the file damaged; EWhere::None otherwise.
    const CLoadFault& GetLoadFault() const { return m_Fault; }

    static constexpr std::uint32_t kBlockSize = 4096;

private:
    std::array<std::int32_t, 4> m_nLineLengths;
    std::vector<CRawString> m_Blocks;
    ELoadState m_eState = ELoadState::Absent;
    CLoadFault m_Fault;
};
