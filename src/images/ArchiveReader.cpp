#include "ArchiveReader.h"

#include <archive.h>
#include <archive_entry.h>

#include "TextCodec.h"

CArchiveReader::CArchiveReader(const std::filesystem::path& Archive) : m_pArchive(archive_read_new())
{
    // The seekable zip reader trusts the central directory, so every entry's
    // size is known before its data is read; a zip cut short has none and is
    // not read at all.
    archive_read_support_format_zip_seekable(m_pArchive);
    archive_read_support_format_7zip(m_pArchive);
    archive_read_support_format_rar(m_pArchive);
    archive_read_support_format_rar5(m_pArchive);
    // Old zips name their entries in the OEM code page of the Windows that
    // made them; the UTF-8 flag, when an entry has it, still decides.
    if (archive_read_set_options(m_pArchive, "zip:hdrcharset=CP866") != ARCHIVE_OK)
        KeepError();
    m_bOpen = Open(Archive);
    if (!m_bOpen)
        KeepError();
}

CArchiveReader::~CArchiveReader() { archive_read_free(m_pArchive); }

CArchiveReader::EStep CArchiveReader::Next(CEntry& AEntry)
{
    if (!m_bOpen)
        return EStep::Damaged;
    archive_entry* pEntry = nullptr;
    const int nResult = archive_read_next_header(m_pArchive, &pEntry);
    if (nResult == ARCHIVE_EOF)
        return EStep::End;
    if (nResult < ARCHIVE_WARN) {
        KeepError();
        return archive_read_has_encrypted_entries(m_pArchive) > 0 ? EStep::Encrypted : EStep::Damaged;
    }
    // As wide text, which libarchive gives on every system (this version's
    // UTF-8 form is missing on Windows, where it keeps names wide).
    const wchar_t* wzName = archive_entry_pathname_w(pEntry);
    AEntry.strName = wzName != nullptr ? WideToUtf8(wzName) : std::string();
    AEntry.bFile = archive_entry_filetype(pEntry) == AE_IFREG && archive_entry_hardlink(pEntry) == nullptr;
    AEntry.bLink = archive_entry_filetype(pEntry) == AE_IFLNK || archive_entry_symlink(pEntry) != nullptr ||
                   archive_entry_hardlink(pEntry) != nullptr;
    AEntry.bEncrypted = archive_entry_is_encrypted(pEntry) != 0;
    AEntry.Size.reset();
    if (archive_entry_size_is_set(pEntry) != 0 && archive_entry_size(pEntry) >= 0)
        AEntry.Size = static_cast<std::uint64_t>(archive_entry_size(pEntry));
    return EStep::Entry;
}

std::ptrdiff_t CArchiveReader::Read(std::span<std::uint8_t> Buffer)
{
    const la_ssize_t nRead = archive_read_data(m_pArchive, Buffer.data(), Buffer.size());
    if (nRead < 0) {
        KeepError();
        return -1;
    }
    return static_cast<std::ptrdiff_t>(nRead);
}

void CArchiveReader::KeepError()
{
    const char* szError = archive_error_string(m_pArchive);
    m_strError = szError != nullptr ? szError : "";
}
