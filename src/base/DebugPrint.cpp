#include "DebugPrint.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

#include "TextCodec.h"
#include "TraceTap.h"


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

    const std::string strOut = WideToUtf8(wzBuf);
    // Byte-oriented write: stdout stays narrow for the rest of the program.
    // The stream buffers as printf would: line by line on a terminal, in
    // blocks into a file or a pipe. A flush per message cost a system call
    // each, four to every firmware record, even when the trace went nowhere.
    std::fwrite(strOut.data(), 1, strOut.size(), stdout);
    TapTrace(strOut);
}

void DebugPrintBytes(const wchar_t* wzHead, std::span<const std::uint8_t> Bytes)
{
    std::wstring strLine = wzHead;
    wchar_t wzByte[8];
    for (const std::uint8_t bt : Bytes) {
        std::swprintf(wzByte, 8, L" %02x", bt);
        strLine += wzByte;
        if (strLine.size() > 1000) {
            DebugPrint(L"%ls", strLine.c_str());
            strLine.clear();
        }
    }
    strLine += L"\r\n";
    DebugPrint(L"%ls", strLine.c_str());
}
