#include "TestArchive.h"

#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <stdexcept>

#include "TextCodec.h"
#include "Utf8ThreadLocale.h"

namespace {

void Check(archive* pArchive, int nResult)
{
    if (nResult < ARCHIVE_WARN)
        throw std::runtime_error(std::string("archive writer: ") + archive_error_string(pArchive));
}

} // namespace

void WriteArchive(const std::filesystem::path& Path, const std::string& strFormat,
                  const std::vector<CArchiveEntry>& Entries, const std::string& strOptions,
                  const std::string& strPassword)
{
    // The names are UTF-8, converted to what the options ask in this
    // thread's locale, as the reader converts them back.
    const CUtf8ThreadLocale ALocale;
    const std::unique_ptr<archive, int (*)(archive*)> pArchive(archive_write_new(), archive_write_free);
    archive* a = pArchive.get();
    Check(a, archive_write_set_format_by_name(a, strFormat.c_str()));
    // Zip names are UTF-8 with the zip's UTF-8 flag unless the options say
    // otherwise: on Windows the writer's default is the OEM code page.
    const std::string strSet = strOptions.empty() && strFormat == "zip" ? "zip:hdrcharset=UTF-8" : strOptions;
    if (!strSet.empty())
        Check(a, archive_write_set_options(a, strSet.c_str()));
    if (!strPassword.empty())
        Check(a, archive_write_set_passphrase(a, strPassword.c_str()));
    Check(a, archive_write_open_filename_w(a, PathToWide(Path).c_str()));
    const std::string strZeros(1 << 20, '\0');
    for (const CArchiveEntry& AEntry : Entries) {
        const std::unique_ptr<archive_entry, void (*)(archive_entry*)> pEntry(archive_entry_new(), archive_entry_free);
        // Wide names: the Windows writer converts from wide text alone.
        std::wstring strName, strTarget;
        Utf8ToWide(AEntry.strName, strName);
        Utf8ToWide(AEntry.strData, strTarget);
        archive_entry_copy_pathname_w(pEntry.get(), strName.c_str());
        archive_entry_set_perm(pEntry.get(), 0644);
        const bool bFile = AEntry.eKind == CArchiveEntry::EKind::File;
        archive_entry_set_filetype(pEntry.get(), bFile ? AE_IFREG : AEntry.eKind == CArchiveEntry::EKind::Folder ? AE_IFDIR : AE_IFLNK);
        if (AEntry.eKind == CArchiveEntry::EKind::Link)
            archive_entry_copy_symlink_w(pEntry.get(), strTarget.c_str());
        archive_entry_set_size(pEntry.get(), bFile ? static_cast<la_int64_t>(AEntry.strData.size() + AEntry.uZeros) : 0);
        Check(a, archive_write_header(a, pEntry.get()));
        if (!bFile)
            continue;
        archive_write_data(a, AEntry.strData.data(), AEntry.strData.size());
        for (std::uint64_t uLeft = AEntry.uZeros; uLeft > 0; uLeft -= std::min<std::uint64_t>(uLeft, strZeros.size()))
            archive_write_data(a, strZeros.data(), std::min<std::uint64_t>(uLeft, strZeros.size()));
    }
    Check(a, archive_write_close(a));
}
