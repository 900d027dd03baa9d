#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// Conversions between the program's wide texts and UTF-8 bytes (file names,
// terminal output, the trace), through utfcpp. Invalid input becomes U+FFFD,
// never an exception. Any thread.
std::string WideToUtf8(std::wstring_view wzText);
// Answers false when the bytes are not valid UTF-8; every byte that is not
// part of a valid sequence then stands in strOut as U+FFFD.
bool Utf8ToWide(std::string_view szText, std::wstring& strOut);

// Paths from and to the program's wide texts. They go through UTF-8, never
// through the C library's locale: a program that set none has the "C"
// locale, in which a folder with a Cyrillic letter cannot be converted.
std::filesystem::path PathFromWide(std::wstring_view wzText);
std::filesystem::path PathFromUtf8(std::string_view szText);
std::wstring PathToWide(const std::filesystem::path& Path);
