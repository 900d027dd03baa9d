// The firmware reader on arbitrary files. A file is either loaded whole, as
// checked records ending with an end-of-file record, or refused as damaged
// with no record kept. A loaded image written out again as Intel HEX loads
// back to the same records and version.
#include <cstdint>
#include <string>

#include "File_Project.h"
#include "Frame.h"
#include "FuzzCheck.h"

namespace {

constexpr std::int32_t kLengths[4] = {17, 45, 21, 13};

void CheckRecord(const CPacket_Hex& ARecord)
{
    const CRawString& strBytes = ARecord.GetBytes();
    FUZZ_REQUIRE(strBytes.GetLength() == 6 + ARecord.GetLength());
    FUZZ_REQUIRE(strBytes.At(0) == ':');
    FUZZ_REQUIRE(FrameChecksum(strBytes.GetData() + 1, strBytes.GetLength() - 1) == 0);
}

std::string WriteHex(const CFile_Project& AImage)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string strText;
    for (const CPacket_Hex& ARecord : AImage.GetRecords()) {
        const CRawString& strBytes = ARecord.GetBytes();
        // Bytes 2 and 3 hold the offset low byte first; the text high first.
        const std::uint8_t btOrder[] = {strBytes.At(1), strBytes.At(3), strBytes.At(2), strBytes.At(4)};
        strText += ':';
        auto AddByte = [&](std::uint8_t bt) {
            strText += kDigits[bt >> 4];
            strText += kDigits[bt & 0xF];
        };
        for (const std::uint8_t bt : btOrder)
            AddByte(bt);
        for (std::int32_t i = 5; i < strBytes.GetLength(); ++i)
            AddByte(strBytes.At(i));
        strText += "\r\n";
    }
    // The trailer: four characters whose low four bits are the version's
    // digits, first digit highest.
    const std::uint16_t uVersion = AImage.GetHexVer();
    for (int nShift = 12; nShift >= 0; nShift -= 4)
        strText += static_cast<char>(0x30 | ((uVersion >> nShift) & 0xF));
    return strText;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const CMemoryFile AFile(pData, nSize);
    CFile_Project AImage(kLengths[0], kLengths[1], kLengths[2], kLengths[3]);
    const int nResult = AImage.Load(AFile.GetPath());
    if (nResult == 0) {
        FUZZ_REQUIRE(AImage.IsDamaged());
        FUZZ_REQUIRE(AImage.GetRecordCount() == 0);
        return 0;
    }
    FUZZ_REQUIRE(nResult == 1 && AImage.GetLoadState() == ELoadState::Loaded);
    FUZZ_REQUIRE(AImage.GetRecordCount() > 0);
    bool bEndRecord = false;
    for (const CPacket_Hex& ARecord : AImage.GetRecords()) {
        CheckRecord(ARecord);
        bEndRecord = bEndRecord || (ARecord.GetType() == 1 && ARecord.GetLength() == 0);
    }
    FUZZ_REQUIRE(bEndRecord);

    const std::string strAgain = WriteHex(AImage);
    const CMemoryFile AFileAgain(reinterpret_cast<const std::uint8_t*>(strAgain.data()), strAgain.size());
    CFile_Project AImageAgain(kLengths[0], kLengths[1], kLengths[2], kLengths[3]);
    FUZZ_REQUIRE(AImageAgain.Load(AFileAgain.GetPath()) == 1);
    FUZZ_REQUIRE(AImageAgain.GetHexVer() == AImage.GetHexVer());
    FUZZ_REQUIRE(AImageAgain.GetRecordCount() == AImage.GetRecordCount());
    for (std::uint32_t i = 0; i < AImage.GetRecordCount(); ++i) {
        const CRawString& strA = AImage.GetRecords()[i].GetBytes();
        const CRawString& strB = AImageAgain.GetRecords()[i].GetBytes();
        FUZZ_REQUIRE(strA.GetLength() == strB.GetLength());
        FUZZ_REQUIRE(std::equal(strA.GetData(), strA.GetData() + strA.GetLength(), strB.GetData()));
    }
    return 0;
}
