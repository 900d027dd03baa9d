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

// The main firmware image: an Intel HEX file whose records are kept in file
// order, followed by a short trailer that carries a 16-bit version as four
// digits. Lines end in CR LF or LF. The image is all or nothing: a file with
// a bad record, a cut record, a line that is no record before the end-of-file
// record, or no end-of-file record at all is damaged and keeps no records.
class CFile_Project : public CPacket_Hex {
public:
    // The line lengths, line end included, of an extended-linear-address
    // record, a 16-byte data record, a start-linear-address record and the
    // end-of-file record. They are kept for the caller; the reader takes
    // records of any length up to 255 data bytes.
    CFile_Project(std::int32_t nLenExtAddress, std::int32_t nLenData, std::int32_t nLenStart,
                  std::int32_t nLenEnd);

    // Reads the file at Path. When it cannot be opened the image is emptied
    // and absent, and the answer is 0. Otherwise answers Read's result.
    int Load(const std::filesystem::path& Path);
    // Reads the records from an open stream: 1 when the whole file was sound
    // and ended with an end-of-file record, else 0 (the image is damaged).
    // wzSource names the stream in the trace.
    int Read(std::FILE* pFile, std::wstring_view wzSource = L"stream");

    std::uint32_t GetRecordCount() const { return static_cast<std::uint32_t>(m_Records.size()); }
    std::uint16_t GetHexVer() const { return m_uVersion; }
    std::span<const CPacket_Hex> GetRecords() const { return m_Records; }
    void ClearRecords();

    ELoadState GetLoadState() const { return m_eState; }
    bool IsDamaged() const { return m_eState == ELoadState::Damaged; }
    // Where the last load found the file damaged; EWhere::None otherwise.
    const CLoadFault& GetLoadFault() const { return m_Fault; }

private:
    enum class ELine { Record, End, Fault };
    // Refuses a stream larger than any update file (damaged, with its size).
    bool IsTooLarge(std::FILE* pFile, std::wstring_view wzSource);
    // One record line and its line end into the records; End at the
    // version trailer (or what stands behind the end-of-file record), Fault
    // with wzFault saying why.
    ELine ReadLine(std::FILE* pFile, std::vector<std::uint8_t>& btLine, std::uint64_t& uRead, bool& bEndRecord,
                   const wchar_t*& wzFault);
    void ReadTrailer(std::span<const std::uint8_t> btLine);

    std::array<std::int32_t, 4> m_nLineLengths;
    std::uint16_t m_uVersion = 0;
    std::vector<CPacket_Hex> m_Records;
    ELoadState m_eState = ELoadState::Absent;
    CLoadFault m_Fault;
};
