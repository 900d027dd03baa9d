#include "FolderAccess.h"

std::optional<bool> IsUserOnly(const std::filesystem::path& Folder)
{
    return (std::filesystem::status(Folder).permissions() & std::filesystem::perms::all) ==
           std::filesystem::perms::owner_all;
}
