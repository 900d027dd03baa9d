#pragma once
#include <filesystem>
#include <optional>

// Whether a folder is this user's alone, as the system keeps it: on POSIX
// its mode is 0700; on Windows its access list is protected from its
// parent's and grants this user alone. None when the system cannot tell:
// Wine keeps no access list given to a new folder, it makes one from the
// Unix mode.
std::optional<bool> IsUserOnly(const std::filesystem::path& Folder);
