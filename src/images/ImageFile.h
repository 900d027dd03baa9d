#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "DebugPrint.h"

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

// The one way an image reads its file: opened here, read by the image's own
// Read(stream, name). A file that cannot be opened leaves the image emptied
// (Clear) and absent, says so in the trace as "<wzKind> <name> not opened",
// and answers 0; otherwise Read's answer.
template <class TImage, class TClear>
int LoadImageFile(TImage& AImage, const std::filesystem::path& Path, const wchar_t* wzKind, TClear Clear)
{
    const std::wstring wzName = GetTraceName(Path);
    const FilePtr pFile = OpenImageFile(Path);
    if (!pFile) {
        Clear();
        DebugPrint(L"\r\n %ls %ls not opened \r\n", wzKind, wzName.c_str());
        return 0;
    }
    return AImage.Read(pFile.get(), wzName);
}
