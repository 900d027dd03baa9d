#include "File_EDogMusic.h"

#include "DebugPrint.h"
#include "ImageFile.h"

CFile_EDogMusic::CFile_EDogMusic(std::int32_t nLenExtAddress, std::int32_t nLenData,
                                 std::int32_t nLenStart, std::int32_t nLenEnd)
    : m_nLineLengths{nLenExtAddress, nLenData, nLenStart, nLenEnd}
{
}

int CFile_EDogMusic::Load(const std::filesystem::path& Path)
{
    return LoadImageFile(*this, Path, L"Image file", [this] { ClearBlocks(); });
}

int CFile_EDogMusic::Read(std::FILE* pFile, std::wstring_view wzSource)
{
    ClearBlocks();
    if (pFile == nullptr)
        return 0;
    // A file that can seek tells its size, so one cut short while it is read
    // is noticed; a pipe is read to its end.
    std::uint64_t uExpected = 0;
    const bool bSized = MeasureRest(pFile, uExpected);
    if (!bSized)
        std::clearerr(pFile);
    if (bSized && uExpected > kMaxImageSize) {
        DebugPrint(L"\r\n Image file %.*ls damaged: %ls (%llu bytes) \r\n", static_cast<int>(wzSource.size()),
                   wzSource.data(), kTooLarge, static_cast<unsigned long long>(uExpected));
        m_eState = ELoadState::Damaged;
        m_Fault = {CLoadFault::EWhere::Size, uExpected, kTooLarge};
        return 0;
    }

    std::vector<std::uint8_t> btBuf(kBlockSize);
    std::uint64_t uTotal = 0;
    const wchar_t* wzFault = nullptr;
    for (;;) {
        const std::size_t nGot = std::fread(btBuf.data(), 1, btBuf.size(), pFile);
        if (nGot > 0) {
            CRawString strBlock;
            if (!strBlock.Assign(btBuf.data(), static_cast<std::int32_t>(nGot))) {
                wzFault = L"out of memory";
                break;
            }
            m_Blocks.push_back(std::move(strBlock));
            uTotal += nGot;
        }
        // A stream that cannot tell its size is cut off at the bound.
        if (uTotal > kMaxImageSize) {
            wzFault = kTooLarge;
            break;
        }
        if (nGot < btBuf.size())
            break;
    }
    if (wzFault == nullptr && std::ferror(pFile))
        wzFault = L"read error";
    if (wzFault == nullptr && bSized && uTotal < uExpected)
        wzFault = L"file ends before its measured size";
    if (wzFault != nullptr) {
        DebugPrint(L"\r\n Image file %.*ls damaged at offset %llu: %ls \r\n",
                   static_cast<int>(wzSource.size()), wzSource.data(),
                   static_cast<unsigned long long>(uTotal), wzFault);
        ClearBlocks();
        m_eState = ELoadState::Damaged;
        m_Fault = {wzFault == kTooLarge ? CLoadFault::EWhere::Size : CLoadFault::EWhere::Offset, uTotal, wzFault};
        return 0;
    }
    m_eState = ELoadState::Loaded;
    return m_Blocks.empty() ? 0 : 1;
}

void CFile_EDogMusic::ClearBlocks()
{
    m_Blocks.clear();
    m_eState = ELoadState::Absent;
    m_Fault = {};
}
