#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/replace_file.h"

namespace platform {

bool ReplaceByRename(const std::filesystem::path& from, const std::filesystem::path& to,
                     std::string& error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  error = std::generic_category().message(errno);
  return false;
}

}  // namespace platform
