#include "thumbnailer_entry.h"

#include <fstream>
#include <sstream>

namespace vfkthumb {

std::string ThumbnailerEntry::Program() const { return exec.substr(0, exec.find(' ')); }

std::optional<ThumbnailerEntry> ReadThumbnailerEntry(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  ThumbnailerEntry entry;
  entry.file = file;
  bool inGroup = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == "[Thumbnailer Entry]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inGroup || equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "TryExec") entry.tryExec = value;
    if (key == "Exec") entry.exec = value;
    if (key == "MimeType") {
      std::istringstream types(value);
      for (std::string type; std::getline(types, type, ';');)
        if (!type.empty()) entry.mimeTypes.push_back(type);
    }
  }
  if (entry.exec.empty()) return std::nullopt;
  return entry;
}

}  // namespace vfkthumb
