#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "Utf8ThreadLocale.h"

struct archive;

// One pass over the entries of a zip, 7z or rar archive, through
// libarchive: each entry's name and kind, then its data when asked for.
// Names come as UTF-8 whatever the archive stored: a zip entry without the
// UTF-8 flag is read as code page 866, in which Windows' Russian versions
// wrote them. One thread uses an object, from its construction to its end
// (the names are converted in that thread's locale).
class CArchiveReader {
public:
    struct CEntry {
        std::string strName;               // UTF-8, as the archive names it
        bool bFile = false;                // a regular file, whose data can be read
        bool bLink = false;                // a symbolic or a hard link
        bool bEncrypted = false;
        std::optional<std::uint64_t> Size; // as the archive declares it
    };
    enum class EStep { Entry, End, Damaged, Encrypted };

    explicit CArchiveReader(const std::filesystem::path& Archive);
    ~CArchiveReader();
    CArchiveReader(const CArchiveReader&) = delete;
    CArchiveReader& operator=(const CArchiveReader&) = delete;

    // The next entry's header; Damaged (or Encrypted, when what cannot be
    // read is protected by a password) ends the pass, as does End.
    EStep Next(CEntry& AEntry);
    // The current entry's next bytes: how many, 0 at its end, -1 when they
    // cannot be read (damaged).
    std::ptrdiff_t Read(std::span<std::uint8_t> Buffer);
    // libarchive's own words (English) for the last thing that failed.
    const std::string& GetError() const { return m_strError; }

private:
    // Opens the file by its path as the platform names files.
    bool Open(const std::filesystem::path& Archive);
    void KeepError();

    CUtf8ThreadLocale m_Locale; // first made, last gone: libarchive converts names in it
    archive* m_pArchive = nullptr;
    bool m_bOpen = false;
    std::string m_strError;
};
