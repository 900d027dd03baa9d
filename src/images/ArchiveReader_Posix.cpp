// Opening an archive on POSIX: the path's bytes go to the system as they are.
#include "ArchiveReader.h"

#include <archive.h>

bool CArchiveReader::Open(const std::filesystem::path& Archive)
{
    return archive_read_open_filename(m_pArchive, Archive.c_str(), 64 * 1024) == ARCHIVE_OK;
}
