// The ver.txt reader on arbitrary bytes: four texts, none holding a line
// end, and for a file that is valid UTF-8 the texts are its first four lines.
// The UTF-8 conversions on the same bytes: whatever comes in goes back out
// as valid UTF-8, and valid UTF-8 comes back byte for byte.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "TextCodec.h"
#include "VersionFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const std::string_view szBytes(reinterpret_cast<const char*>(pData), nSize);
    const std::array<std::wstring, 4> Lines = ParseVersionText(szBytes);
    for (const std::wstring& strLine : Lines) {
        FUZZ_REQUIRE(strLine.find(L'\n') == std::wstring::npos);
        FUZZ_REQUIRE(strLine.empty() || strLine.back() != L'\r');
    }

    std::string_view szText = szBytes;
    if (szText.substr(0, 3) == "\xEF\xBB\xBF")
        szText.remove_prefix(3);
    std::wstring strAll;
    const bool bUtf8 = Utf8ToWide(szText, strAll);
    const std::string strBack = WideToUtf8(strAll);
    std::wstring strAgain;
    FUZZ_REQUIRE(Utf8ToWide(strBack, strAgain) && strAgain == strAll);
    FUZZ_REQUIRE(!bUtf8 || strBack == szText);
    if (!bUtf8)
        return 0;
    std::size_t nStart = 0;
    for (const std::wstring& strLine : Lines) {
        if (nStart > strAll.size()) {
            FUZZ_REQUIRE(strLine.empty());
            continue;
        }
        std::size_t nEnd = strAll.find(L'\n', nStart);
        if (nEnd == std::wstring::npos)
            nEnd = strAll.size();
        std::wstring strExpected = strAll.substr(nStart, nEnd - nStart);
        while (!strExpected.empty() && strExpected.back() == L'\r')
            strExpected.pop_back();
        FUZZ_REQUIRE(strLine == strExpected);
        nStart = nEnd + 1;
    }
    return 0;
}
