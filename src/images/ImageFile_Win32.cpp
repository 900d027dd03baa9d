// Opening an update file on Windows: the path is wide text, opened with
// _wfopen, so that a folder with Cyrillic letters works whatever the ANSI
// code page.
#include "ImageFile.h"

FilePtr OpenImageFile(const std::filesystem::path& Path) { return FilePtr(_wfopen(Path.c_str(), L"rb")); }
