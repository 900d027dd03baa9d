#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

// Helpers the image readers share: the open stream, its size and the
// file's name as the trace shows it.

struct SFileCloser {
    void operator()(std::FILE* pFile) const { std::fclose(pFile); }
};
using FilePtr = std::unique_ptr<std::FILE, SFileCloser>;

// No update file is larger: the device holds far less, and a loaded image
// is held in memory twice over (as read and as the frames queued from it).
// A larger file is refused as damaged before any of it is read.
inline constexpr std::uint64_t kMaxImageSize = std::uint64_t{256} << 20;
inline constexpr const wchar_t* kTooLarge = L"file larger than 256 MiB";

// Opens a file for binary reading. The path's native bytes go to the system
// unchanged, so any name the file system holds can be opened.
FilePtr OpenImageFile(const std::filesystem::path& Path);

// Number of bytes from the stream's position to its end; the position is
// kept. False on a stream that cannot seek (a pipe, a terminal).
bool MeasureRest(std::FILE* pFile, std::uint64_t& uRest);

// The path as wide text for the trace. Bytes that are not UTF-8 show as
// U+FFFD instead of cutting the trace line short.
std::wstring GetTraceName(const std::filesystem::path& Path);
