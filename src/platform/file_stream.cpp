#include "platform/file_stream.h"

#include <cerrno>
#include <cstdio>
#include <new>

#include "platform/read_only_stream.h"

namespace {

std::FILE* OpenForReading(const std::filesystem::path& path) {
#ifdef _WIN32
  return _wfopen(path.c_str(), L"rb");
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

bool SeekTo(std::FILE* file, std::int64_t offset, int origin) {
#ifdef _WIN32
  return _fseeki64(file, offset, origin) == 0;
#else
  return fseeko(file, offset, origin) == 0;
#endif
}

std::int64_t Tell(std::FILE* file) {
#ifdef _WIN32
  return _ftelli64(file);
#else
  return ftello(file);
#endif
}

// Owns the FILE; its position follows the last read.
class FileStream final : public ReadOnlyStream {
 public:
  FileStream(std::FILE* file, std::uint64_t size) noexcept : file_(file), size_(size) {}

 private:
  ~FileStream() override { std::fclose(file_); }

  std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) noexcept override {
    if (offset != filePosition_) {
      if (!SeekTo(file_, static_cast<std::int64_t>(offset), SEEK_SET)) return -1;
      filePosition_ = offset;
    }
    const std::size_t got = std::fread(buffer, 1, count, file_);
    filePosition_ += got;
    if (got < count && std::ferror(file_)) return -1;
    return static_cast<std::int64_t>(got);
  }
  std::uint64_t Size() const noexcept override { return size_; }

  std::FILE* file_;
  std::uint64_t size_;
  std::uint64_t filePosition_ = 0;
};

}  // namespace

ComRef<IStream> OpenFileStream(const std::filesystem::path& path, std::error_code& error) {
  error.clear();
  std::FILE* file = OpenForReading(path);
  if (!file) {
    error.assign(errno, std::generic_category());
    return {};
  }
  std::int64_t size = -1;
  if (SeekTo(file, 0, SEEK_END)) size = Tell(file);
  if (size < 0 || !SeekTo(file, 0, SEEK_SET)) {
    error.assign(errno ? errno : EIO, std::generic_category());
    std::fclose(file);
    return {};
  }
  auto* stream = new (std::nothrow) FileStream(file, static_cast<std::uint64_t>(size));
  if (!stream) {
    std::fclose(file);
    error = std::make_error_code(std::errc::not_enough_memory);
    return {};
  }
  return ComRef<IStream>(stream);
}
