// Opening an archive on Windows: the path is wide text, so that a folder
// with Cyrillic letters works whatever the ANSI code page.
#include "ArchiveReader.h"

#include <archive.h>

bool CArchiveReader::Open(const std::filesystem::path& Archive)
{
    return archive_read_open_filename_w(m_pArchive, Archive.c_str(), 64 * 1024) == ARCHIVE_OK;
}
