#pragma once
#include <string>
#include <string_view>

// Conversions between the program's wide texts and UTF-8 bytes (file names,
// terminal output, the trace). Invalid input becomes U+FFFD.
std::string WideToUtf8(std::wstring_view wzText);
// Answers false (and leaves strOut as far as decoded) when the bytes are not
// valid UTF-8.
bool Utf8ToWide(std::string_view szText, std::wstring& strOut);
