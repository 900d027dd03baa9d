// Opening an update file on POSIX: the path's bytes go to the system as they are.
#include "ImageFile.h"

FilePtr OpenImageFile(const std::filesystem::path& Path) { return FilePtr(std::fopen(Path.c_str(), "rb")); }
