// The file a picture is written to, named by the caller and reached through
// any symbolic links to the file they name.
// - An existing, empty regular file is written in place: a thumbnail service
//   that creates the output itself and reads the picture back through its
//   own handle (XFCE's tumbler) finds it in the file it made. A failed write
//   leaves it empty again.
// - Otherwise the picture goes into a new file in the output's folder, which
//   is flushed to disk and then renamed over the output: an interrupted or
//   failed write leaves an earlier output as it was. The new file takes the
//   permissions (and, where allowed, the owner) of the one it replaces;
//   other hard links to that file keep the earlier picture.
// - The new file has no name until it is whole where the system allows
//   (Linux's O_TMPFILE); otherwise its name (".OUTPUT.1a2b3c4d.tmp", cut to
//   fit where the output's name fits) is held for the interrupt handler.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "interrupt_cleanup.h"

namespace vfkthumb {

class OutputFile {
 public:
  // Null with the system's message when nothing can be written there.
  static std::unique_ptr<OutputFile> Open(const std::filesystem::path& path, std::string& error);
  // Without a successful Commit: removes the new file, or empties the file
  // written in place.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::FILE* Stream() const { return file_; }
  // Flushes, syncs and puts the picture in place; false with a message.
  bool Commit(std::string& error);

 private:
  enum class Kind { kInPlace, kUnnamed, kNamed };
  struct Existing;

  OutputFile() = default;
  bool Close(std::string& error);
  bool NameUnnamed(std::string& error);
  // Picks a temporary name beside the target, holds it for the interrupt
  // handler and has `make` make it (false with errno set when it cannot);
  // another name when that one exists. False with errno set, nothing held.
  bool ClaimTemporaryName(const std::function<bool(const std::filesystem::path&)>& make);

  Kind kind_ = Kind::kNamed;
  std::filesystem::path target_;
  std::filesystem::path temporary_;  // the new file's name, once it has one
  std::optional<PendingName> pending_;
  bool targetExisted_ = false;
  bool committed_ = false;
  std::FILE* file_ = nullptr;
  int descriptor_ = -1;
};

}  // namespace vfkthumb
