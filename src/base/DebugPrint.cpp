#include "DebugPrint.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void AppendUtf8(std::string& strOut, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        strOut += static_cast<char>(c);
    } else if (c < 0x800) {
        strOut += static_cast<char>(0xC0 | (c >> 6));
        strOut += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        strOut += static_cast<char>(0xE0 | (c >> 12));
        strOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        strOut += static_cast<char>(0xF0 | (c >> 18));
        strOut += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        strOut += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        strOut += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

void DebugPrint(const wchar_t* wzFormat, ...)
{
    if (wzFormat == nullptr)
        return;
    wchar_t wzBuf[1024] = {};
    va_list args;
    va_start(args, wzFormat);
    // vswprintf fails (answers -1) when the text does not fit; the buffer then
    // holds what fitted, which is the cut message we want.
    std::vswprintf(wzBuf, 1024, wzFormat, args);
    va_end(args);
    wzBuf[1023] = L'\0';

    std::string strOut;
    for (const wchar_t* p = wzBuf; *p != L'\0'; ++p)
        AppendUtf8(strOut, static_cast<char32_t>(*p));
    // Byte-oriented write: stdout stays narrow for the rest of the program.
    std::fwrite(strOut.data(), 1, strOut.size(), stdout);
    std::fflush(stdout);
}
