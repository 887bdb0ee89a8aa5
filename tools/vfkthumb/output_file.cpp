#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "platform/replace_file.h"

namespace vfkthumb {
namespace {

namespace fs = std::filesystem;

constexpr int kNameAttempts = 16;
constexpr int kMaxLinkHops = 40;  // as Linux's own limit on a path's symbolic links
constexpr std::size_t kDefaultNameMax = 255;

std::string SystemMessage(int code) { return std::generic_category().message(code); }

// The file `path` names after following symbolic links; a dangling link
// gives the path its last link names, which a new file then gets.
fs::path ResolveLinks(fs::path path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(path, error)) break;
    fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

fs::path FolderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

std::size_t NameMax(const fs::path& folder) {
#ifdef _WIN32
  (void)folder;
  return kDefaultNameMax;
#else
  const long max = pathconf(folder.c_str(), _PC_NAME_MAX);
  return max > 0 ? static_cast<std::size_t>(max) : kDefaultNameMax;
#endif
}

// Where a character continues the one before it (UTF-8 continuation byte,
// UTF-16 low surrogate): a name is not cut there.
bool ContinuesCharacter(fs::path::value_type c) {
  const auto unit = static_cast<std::uint32_t>(c);
  if constexpr (sizeof c == 1) {
    return (unit & 0xC0) == 0x80;
  } else {
    return unit >= 0xDC00 && unit <= 0xDFFF;
  }
}

// ".NAME.1a2b3c4d.tmp" beside `target`, NAME cut so that the whole fits in
// the folder's longest name.
fs::path TemporaryName(const fs::path& target, std::random_device& random) {
  constexpr std::size_t kAdded = 1 + 1 + 8 + 4;  // ".", ".", eight digits, ".tmp"
  const fs::path::string_type name = target.filename().native();
  const std::size_t nameMax = NameMax(FolderOf(target));
  std::size_t keep = name.size();
  if (keep + kAdded > nameMax) keep = nameMax > kAdded ? nameMax - kAdded : 0;
  while (keep > 0 && keep < name.size() && ContinuesCharacter(name[keep])) --keep;
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(random()));
  fs::path temporary = ".";
  temporary += name.substr(0, keep);
  temporary += "." + std::string(digits) + ".tmp";
  return FolderOf(target) / temporary;
}

int OpenDescriptor(const fs::path& path, int flags, int mode = 0) {
#ifdef _WIN32
  return _wopen(path.c_str(), flags | _O_BINARY, mode);
#else
  return open(path.c_str(), flags | O_CLOEXEC, mode);
#endif
}

constexpr int kCreateNew = O_WRONLY | O_CREAT | O_EXCL;
#ifdef _WIN32
constexpr int kNewFileMode = _S_IREAD | _S_IWRITE;
#else
constexpr int kNewFileMode = 0666;  // less the umask, as any new file
#endif

// A file open for writing with no name in `folder`, or -1 where the file
// system or the kernel has none (or /proc, through which it gets a name).
int OpenUnnamed([[maybe_unused]] const fs::path& folder) {
#ifdef O_TMPFILE
  if (access("/proc/self/fd", X_OK) != 0) return -1;
  return OpenDescriptor(folder, O_TMPFILE | O_WRONLY, kNewFileMode);
#else
  return -1;
#endif
}

#ifndef _WIN32
// The descriptor's file as /proc names it, for linkat.
std::string ProcName(int descriptor) { return "/proc/self/fd/" + std::to_string(descriptor); }
#endif

int SyncDescriptor(int descriptor) {
#ifdef _WIN32
  return _commit(descriptor);
#else
  return fsync(descriptor);
#endif
}

}  // namespace

struct OutputFile::Existing {
  bool exists = false;
  bool emptyRegular = false;
#ifdef _WIN32
  struct _stat64 status{};
#else
  struct stat status{};
#endif

  explicit Existing(const fs::path& path) {
#ifdef _WIN32
    exists = _wstat64(path.c_str(), &status) == 0;
#else
    exists = stat(path.c_str(), &status) == 0;
#endif
    emptyRegular = exists && (status.st_mode & S_IFMT) == S_IFREG && status.st_size == 0;
  }

  // The replaced file's permissions, and its owner where the process may
  // give it (root); a failure only leaves the new file's own.
  void CopyTo([[maybe_unused]] int descriptor) const {
#ifndef _WIN32
    if (!exists) return;
    if (geteuid() == 0 && fchown(descriptor, status.st_uid, status.st_gid) != 0) {
      // The new file keeps root as its owner.
    }
    if (fchmod(descriptor, status.st_mode & 07777) != 0) {
      // The new file keeps the permissions it was made with.
    }
#endif
  }
};

std::unique_ptr<OutputFile> OutputFile::Open(const fs::path& path, std::string& error) {
  std::unique_ptr<OutputFile> output(new OutputFile);
  output->target_ = ResolveLinks(path);
  const Existing existing(output->target_);
  output->targetExisted_ = existing.exists;
  if (existing.emptyRegular) {
    output->kind_ = Kind::kInPlace;
    output->descriptor_ = OpenDescriptor(output->target_, O_WRONLY | O_TRUNC);
  } else {
    output->kind_ = Kind::kUnnamed;
    output->descriptor_ = OpenUnnamed(FolderOf(output->target_));
  }
  if (output->descriptor_ < 0 && output->kind_ == Kind::kUnnamed) {
    output->kind_ = Kind::kNamed;
    output->ClaimTemporaryName([&output](const fs::path& name) {
      output->descriptor_ = OpenDescriptor(name, kCreateNew, kNewFileMode);
      return output->descriptor_ >= 0;
    });
  }
  if (output->descriptor_ < 0) {
    error = SystemMessage(errno);
    return nullptr;
  }
  if (output->kind_ != Kind::kInPlace) existing.CopyTo(output->descriptor_);
#ifdef _WIN32
  output->file_ = _fdopen(output->descriptor_, "wb");
#else
  output->file_ = fdopen(output->descriptor_, "wb");
#endif
  if (!output->file_) {
    error = SystemMessage(errno);
    return nullptr;  // the destructor closes the descriptor
  }
  return output;
}

OutputFile::~OutputFile() {
  if (!committed_ && kind_ == Kind::kInPlace && descriptor_ >= 0) {
    if (file_) std::fflush(file_);
#ifdef _WIN32
    _chsize_s(descriptor_, 0);
#else
    if (ftruncate(descriptor_, 0) != 0) {
      // Nothing more can be done for a file that will not shrink.
    }
#endif
  }
  std::string ignored;
  Close(ignored);
  if (!committed_ && !temporary_.empty()) {
    std::error_code error;
    fs::remove(temporary_, error);
  }
}

bool OutputFile::Close(std::string& error) {
  int status = 0;
  if (file_) {
    status = std::fclose(file_);
  } else if (descriptor_ >= 0) {
#ifdef _WIN32
    status = _close(descriptor_);
#else
    status = close(descriptor_);
#endif
  }
  if (status != 0) error = SystemMessage(errno);
  file_ = nullptr;
  descriptor_ = -1;
  return status == 0;
}

bool OutputFile::ClaimTemporaryName(const std::function<bool(const fs::path&)>& make) {
  std::random_device random;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temporary_ = TemporaryName(target_, random);
    pending_.emplace(temporary_);
    if (make(temporary_)) return true;
    const int failure = errno;
    pending_.reset();
    temporary_.clear();
    errno = failure;
    if (failure != EEXIST) return false;
  }
  return false;  // errno is EEXIST
}

// Gives the unnamed file its name: the output's itself when there was none
// (linkat never replaces), else a temporary name held for the handler.
bool OutputFile::NameUnnamed(std::string& error) {
#ifdef _WIN32
  error = "no unnamed files here";
  return false;
#else
  const std::string source = ProcName(descriptor_);
  if (!targetExisted_) {
    if (linkat(AT_FDCWD, source.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      committed_ = true;
      return true;
    }
    if (errno != EEXIST) {
      error = SystemMessage(errno);
      return false;
    }
  }
  if (ClaimTemporaryName([&source](const fs::path& name) {
        return linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
      }))
    return true;
  error = SystemMessage(errno);
  return false;
#endif
}

bool OutputFile::Commit(std::string& error) {
  if (std::fflush(file_) != 0 || SyncDescriptor(descriptor_) != 0) {
    error = SystemMessage(errno);
    return false;
  }
  if (kind_ == Kind::kInPlace) {
    if (!Close(error)) return false;
    committed_ = true;
    return true;
  }
  if (kind_ == Kind::kUnnamed) {
    if (!NameUnnamed(error)) return false;
    if (committed_) return Close(error);
  }
  if (!Close(error)) return false;
  if (!platform::ReplaceByRename(temporary_, target_, error)) return false;
  committed_ = true;
  pending_.reset();
  return true;
}

}  // namespace vfkthumb
