#include "platform/memory_stream.h"

#include <cstring>
#include <new>
#include <utility>

#include "platform/read_only_stream.h"

namespace {

class MemoryStream final : public ReadOnlyStream {
 public:
  explicit MemoryStream(std::vector<std::uint8_t> bytes) noexcept : bytes_(std::move(bytes)) {}

 private:
  std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) noexcept override {
    std::memcpy(buffer, bytes_.data() + offset, count);
    return count;
  }
  std::uint64_t Size() const noexcept override { return bytes_.size(); }

  std::vector<std::uint8_t> bytes_;
};

}  // namespace

ComRef<IStream> MakeMemoryStream(std::vector<std::uint8_t> bytes) {
  return ComRef<IStream>(new (std::nothrow) MemoryStream(std::move(bytes)));
}
