#include "pagestore/seek_page_mapper.h"

#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "pagestore/page_layout.h"

namespace pagestore {
namespace {

[[noreturn]] void ThrowIoError() { throw std::runtime_error("IO error"); }

}  // namespace

SeekPageMapper::SeekPageMapper(std::uint64_t size, ReadFunction read)
    : size_(size), read_(std::move(read)) {}

SeekPageMapper::SeekPageMapper(SeekPageMapper&& other) noexcept
    : size_(other.size_),
      read_(std::move(other.read_)),
      mapped_(std::move(other.mapped_)),
      unknownGivenBack_(other.unknownGivenBack_) {
  other.mapped_.clear();
}

const std::uint8_t* SeekPageMapper::map(std::uint64_t fidx) {
  if (unknownGivenBack_) ThrowIoError();
  if (fidx > std::numeric_limits<std::uint64_t>::max() / kPageSize) ThrowIoError();
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kPageSize]);
  if (!buffer) ThrowIoError();
  if (read_(fidx * kPageSize, buffer.get(), static_cast<std::int32_t>(kPageSize)) !=
      static_cast<std::int32_t>(kPageSize))
    ThrowIoError();
  const std::uint8_t* const page = buffer.get();
  mapped_.emplace(page, std::move(buffer));
  return page;
}

void SeekPageMapper::unmap(const std::uint8_t* buffer) noexcept {
  const auto found = mapped_.find(buffer);
  if (found == mapped_.end()) {
    unknownGivenBack_ = true;
    return;
  }
  mapped_.erase(found);  // frees the buffer
}

}  // namespace pagestore
