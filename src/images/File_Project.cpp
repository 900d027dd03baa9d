#include "File_Project.h"

#include <vector>

#include "DebugPrint.h"
#include "ImageFile.h"

namespace {

// A record line is read as its first nine characters (':', length, offset,
// type), then its data and checksum digits, then its line end.
constexpr std::size_t kHeadLength = 9;

enum class ELineEnd { Ok, Missing, ReadError };

// Consumes the line end behind a record: LF or CR LF, counted in uRead. The
// file's last line may lack it.
ELineEnd ReadLineEnd(std::FILE* pFile, std::uint64_t& uRead)
{
    int nChar = std::fgetc(pFile);
    if (nChar == '\r') {
        ++uRead;
        nChar = std::fgetc(pFile);
    }
    if (nChar != EOF)
        ++uRead;
    if (nChar == '\n')
        return ELineEnd::Ok;
    if (nChar == EOF)
        return std::ferror(pFile) ? ELineEnd::ReadError : ELineEnd::Ok;
    return ELineEnd::Missing;
}

bool IsEndOfFile(const CPacket_Hex& Record)
{
    return Record.GetLength() == 0 && Record.GetAddress() == 0 && Record.GetType() == 1 &&
           Record.GetChecksum() == 0xFF;
}

} // namespace

CFile_Project::CFile_Project(std::int32_t nLenExtAddress, std::int32_t nLenData,
                             std::int32_t nLenStart, std::int32_t nLenEnd)
    : m_nLineLengths{nLenExtAddress, nLenData, nLenStart, nLenEnd}
{
}

int CFile_Project::Load(const std::filesystem::path& Path)
{
    return LoadImageFile(*this, Path, L"Hex file", [this] { ClearRecords(); });
}

int CFile_Project::Read(std::FILE* pFile, std::wstring_view wzSource)
{
    ClearRecords();
    if (pFile == nullptr || IsTooLarge(pFile, wzSource))
        return 0;
    // Positions no read has filled count as 0; see the trailer.
    std::vector<std::uint8_t> btLine(CPacket_Hex::kMaxLineLength, 0);
    std::uint64_t uRead = 0;
    const wchar_t* wzFault = nullptr;
    bool bEndRecord = false;
    std::uint32_t uLine = 0;
    ELine eLine = ELine::Record;
    while (eLine == ELine::Record) {
        ++uLine;
        eLine = ReadLine(pFile, btLine, uRead, bEndRecord, wzFault);
    }
    if (wzFault == nullptr && !bEndRecord)
        wzFault = L"no end-of-file record";
    if (wzFault != nullptr) {
        DebugPrint(L"\r\n Hex file %.*ls damaged at line %u: %ls \r\n",
                   static_cast<int>(wzSource.size()), wzSource.data(), uLine, wzFault);
        ClearRecords();
        m_eState = ELoadState::Damaged;
        m_Fault = {CLoadFault::EWhere::Line, uLine, wzFault};
        return 0;
    }
    m_eState = ELoadState::Loaded;
    return 1;
}

bool CFile_Project::IsTooLarge(std::FILE* pFile, std::wstring_view wzSource)
{
    // A file that tells its size is refused before any record is read; one
    // that cannot (a pipe) is refused once it has delivered that much.
    std::uint64_t uSize = 0;
    if (!MeasureRest(pFile, uSize)) {
        std::clearerr(pFile);
        return false;
    }
    if (uSize <= kMaxImageSize)
        return false;
    DebugPrint(L"\r\n Hex file %.*ls damaged: %ls (%llu bytes) \r\n", static_cast<int>(wzSource.size()),
               wzSource.data(), kTooLarge, static_cast<unsigned long long>(uSize));
    m_eState = ELoadState::Damaged;
    m_Fault = {CLoadFault::EWhere::Size, uSize, kTooLarge};
    return true;
}

CFile_Project::ELine CFile_Project::ReadLine(std::FILE* pFile, std::vector<std::uint8_t>& btLine,
                                             std::uint64_t& uRead, bool& bEndRecord, const wchar_t*& wzFault)
{
    const std::size_t nHead = std::fread(btLine.data(), 1, kHeadLength, pFile);
    uRead += nHead;
    if (uRead > kMaxImageSize)
        return wzFault = kTooLarge, ELine::Fault;
    if (nHead < kHeadLength) {
        if (std::ferror(pFile))
            return wzFault = L"read error", ELine::Fault;
        ReadTrailer(btLine);
        return ELine::End;
    }
    if (btLine[0] != ':') {
        // Behind the end-of-file record this is a trailer too long to be a
        // version; the version stays 0.
        if (!bEndRecord)
            wzFault = L"line is not a record";
        return bEndRecord ? ELine::End : ELine::Fault;
    }
    // The length field decides how much follows. Two digits state at most
    // 255 bytes, which the buffer holds.
    std::uint8_t btLength = 0;
    if (!CPacket_Hex::DecodeByte(btLine[1], btLine[2], btLength))
        return wzFault = L"length field is not hexadecimal", ELine::Fault;
    const std::size_t nLine = kHeadLength + 2 * std::size_t{btLength} + 2;
    const std::size_t nRest = nLine - kHeadLength;
    const std::size_t nGot = std::fread(btLine.data() + kHeadLength, 1, nRest, pFile);
    uRead += nGot;
    if (nGot != nRest)
        return wzFault = std::ferror(pFile) ? L"read error" : L"file ends inside a record", ELine::Fault;
    if (const ELineEnd eEnd = ReadLineEnd(pFile, uRead); eEnd != ELineEnd::Ok)
        return wzFault = eEnd == ELineEnd::ReadError ? L"read error" : L"record is longer than its length field",
               ELine::Fault;
    CPacket_Hex ARecord;
    if (!ARecord.Parse(std::span(btLine.data(), nLine)))
        return wzFault = L"bad digit or checksum", ELine::Fault;
    bEndRecord = bEndRecord || IsEndOfFile(ARecord);
    m_Records.push_back(std::move(ARecord));
    return ELine::Record;
}

void CFile_Project::ReadTrailer(std::span<const std::uint8_t> btLine)
{
    // The version trailer: four digits behind the last line, first digit
    // highest. A shorter trailer leaves the start of the last record line in
    // the buffer's other positions, so a file that ends with ":00000001FF"
    // and nothing behind it gives 0xA000.
    m_uVersion = static_cast<std::uint16_t>((btLine[0] & 0xF) << 12 | (btLine[1] & 0xF) << 8 |
                                            (btLine[2] & 0xF) << 4 | (btLine[3] & 0xF));
    DebugPrint(L"\r\n GetHexVer == %04x \r\n", m_uVersion);
}

void CFile_Project::ClearRecords()
{
    m_Records.clear();
    m_uVersion = 0;
    m_eState = ELoadState::Absent;
    m_Fault = {};
}
