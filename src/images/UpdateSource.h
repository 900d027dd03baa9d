#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Language.h"

class CArchiveReader;
class CPrivateFolder;

// Where an update's files are read from, as the user names it. A folder
// is read as it is. An archive (.zip, .7z, .rar: the form in which updates
// are published) is read through libarchive, and the update files found in
// its root or in its one top folder are unpacked into a private temporary
// folder, the user's alone, which lives as long as this object; nothing else
// of the archive is written, and no path the archive gives is ever used.
// An archive that is damaged, protected by a password, names an entry
// outside itself, holds a link, is too large, or holds update files in two
// folders is refused, with the reason, and nothing is left of it.
//
// The constructor does all the work on the calling thread and blocks while
// it unpacks (a few seconds at most, for kMaxUnpacked); the object is then
// only read, from any thread. Destroy it after the last read of its folder.
class CUpdateSource {
public:
    enum class ERefusal {
        None,
        Unreadable,     // the file cannot be opened
        Damaged,        // damaged, cut short, or packed in a way that cannot be read
        Encrypted,      // protected by a password
        AbsoluteName,   // an entry named from the root of a disk
        ClimbingName,   // an entry whose name climbs out of the archive with ".."
        Link,           // a symbolic or hard link
        TooManyEntries, // more than kMaxEntries
        TooLarge,       // more than kMaxUnpacked, as declared or as it unpacks
        TwoFolders,     // update files in two top folders, none in the root
        NotUnpacked,    // the temporary folder cannot be made or written
    };

    // Far above any update (the largest update file is a few MiB, and no
    // image may exceed 256 MiB), far below what could fill a disk.
    static constexpr std::uint32_t kMaxEntries = 10000;
    static constexpr std::uint64_t kMaxUnpacked = std::uint64_t{256} << 20;

    // Given: a folder, or an archive file. Names: the update files' names
    // (read during the constructor only), the one thing taken out of an
    // archive, matched whatever their case and written as spelled here.
    // TempRoot: where the private folder is made; empty for the system's
    // temporary folder.
    CUpdateSource(std::filesystem::path Given, std::span<const std::string_view> Names,
                  const std::filesystem::path& TempRoot = {});
    ~CUpdateSource();
    CUpdateSource(const CUpdateSource&) = delete;
    CUpdateSource& operator=(const CUpdateSource&) = delete;

    // Whether a path names an archive, by its extension.
    static bool IsArchive(const std::filesystem::path& Path);

    const std::filesystem::path& GetGiven() const { return m_Given; }
    // The folder to read the update files from: the one given, or the
    // archive's private folder; empty when the archive is refused.
    const std::filesystem::path& GetFolder() const { return m_Folder; }
    ERefusal GetRefusal() const { return m_eRefusal; }
    // One line (UTF-8) that names the archive and why it is refused, in the
    // language given; empty when it is not.
    std::string DescribeRefusal(ELanguage eLanguage) const;
    // libarchive's own words (English) for a damaged archive, for a trace
    // or a support person; empty when it said nothing.
    const std::string& GetDetail() const { return m_strDetail; }

private:
    struct CChoice; // where in the archive the update files are

    void Unpack(std::span<const std::string_view> Names, const std::filesystem::path& TempRoot);
    bool Survey(std::span<const std::string_view> Names, CChoice& AChoice);
    bool TakeOut(std::span<const std::string_view> Names, const CChoice& AChoice);
    ERefusal CopyEntry(CArchiveReader& AReader, const std::filesystem::path& Target,
                       std::optional<std::uint64_t> Declared, std::uint64_t& uTotal);
    bool Refuse(ERefusal eWhy, std::string strFirst = {}, std::string strSecond = {});

    std::filesystem::path m_Given;
    std::filesystem::path m_Folder;
    std::unique_ptr<CPrivateFolder> m_pPrivate;
    ERefusal m_eRefusal = ERefusal::None;
    std::string m_strFirst;  // the entry or first folder the refusal names
    std::string m_strSecond; // the second folder
    std::string m_strDetail;
};
