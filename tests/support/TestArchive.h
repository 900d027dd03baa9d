#pragma once
// Archives made by the tests themselves, with libarchive's writer, on every
// platform.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct CArchiveEntry {
    enum class EKind { File, Folder, Link };
    std::string strName;        // UTF-8
    std::string strData;        // a file's bytes; a link's target
    EKind eKind = EKind::File;
    std::uint64_t uZeros = 0;   // zeros after a file's bytes, written in pieces (a bomb)
};

// Writes the entries, in order, as strFormat ("zip" or "7zip") with
// libarchive's options (such as "zip:hdrcharset=CP866"; empty: a zip's names
// in UTF-8, flagged so) and a password (empty for none).
void WriteArchive(const std::filesystem::path& Path, const std::string& strFormat,
                  const std::vector<CArchiveEntry>& Entries, const std::string& strOptions = {},
                  const std::string& strPassword = {});
