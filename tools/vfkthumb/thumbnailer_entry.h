// A freedesktop thumbnailer entry (share/thumbnailers/*.thumbnailer): the
// key file group "Thumbnailer Entry" with TryExec, Exec and MimeType.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vfkthumb {

struct ThumbnailerEntry {
  std::filesystem::path file;
  std::string tryExec;
  std::string exec;
  std::vector<std::string> mimeTypes;

  // The program the desktop runs: the first word of Exec.
  std::string Program() const;
};

// Nullopt when the file cannot be read or has no Exec in its group.
std::optional<ThumbnailerEntry> ReadThumbnailerEntry(const std::filesystem::path& file);

}  // namespace vfkthumb
