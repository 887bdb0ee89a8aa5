// Renaming a finished file over another, atomically where the system can:
// rename(2) on POSIX, MoveFileExW with MOVEFILE_REPLACE_EXISTING and
// MOVEFILE_WRITE_THROUGH on Windows.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// False with the system's own message when the rename fails.
bool ReplaceByRename(const std::filesystem::path& from, const std::filesystem::path& to,
                     std::string& error);

}  // namespace platform
