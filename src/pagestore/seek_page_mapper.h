// Turns a seekable byte source into 64 KiB pages: map(fidx) reads page fidx
// into a buffer of its own, unmap gives the buffer back. Every buffer handed
// out is recorded, so a page can be given back only once. One thread uses a
// mapper at a time; nothing is cached.
//
// Failures throw std::runtime_error("IO error") (no buffer, a read of other
// than 65536 bytes, a page beyond the 64-bit offset range); exceptions of the
// read function pass through. A failed call changes no record. Giving back
// never throws: a buffer that is not recorded (given back twice, or never
// handed out) is left alone, and every later map throws "IO error".
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace pagestore {

// Reads `length` bytes at absolute `offset` into `buffer`; returns the count
// read, or throws.
using ReadFunction =
    std::function<std::int32_t(std::uint64_t offset, std::uint8_t* buffer, std::int32_t length)>;

class SeekPageMapper {
 public:
  SeekPageMapper(std::uint64_t size, ReadFunction read);
  SeekPageMapper(SeekPageMapper&& other) noexcept;
  SeekPageMapper& operator=(SeekPageMapper&&) = delete;
  SeekPageMapper(const SeekPageMapper&) = delete;
  SeekPageMapper& operator=(const SeekPageMapper&) = delete;
  // Buffers still recorded (none, when every page was given back) are freed
  // with the record.
  ~SeekPageMapper() = default;

  std::uint64_t size() const noexcept { return size_; }
  const std::uint8_t* map(std::uint64_t fidx);
  void unmap(const std::uint8_t* buffer) noexcept;
  std::size_t mappedCount() const noexcept { return mapped_.size(); }

 private:
  std::uint64_t size_;
  ReadFunction read_;
  std::map<const std::uint8_t*, std::unique_ptr<std::uint8_t[]>> mapped_;  // owns each buffer
  bool unknownGivenBack_ = false;  // an unmap found no record
};

}  // namespace pagestore
