// Writes TNW documents (".vfq") for tests, examples and benchmarks: header
// pages with generations, the page table with table pages, inline and paged
// logical streams with index pages, raw and Zstandard blobs and the
// FlatBuffers root. Everything is reachable for damaging: pages by fidx,
// table entries by vidx.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace vfqtest {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kPageSize = 0x10000;
inline constexpr std::int64_t kRootVidx = 0;
inline constexpr std::uint8_t kRawBlob = 255;
inline constexpr std::uint8_t kZstdBlob = 3;

class VfqWriter {
 public:
  // Pages 0 and 1 hold the header (magic on both), generations 1 and 2.
  VfqWriter();

  // Appends a page holding `content` (zero-filled to 64 KiB); its fidx.
  std::uint64_t AddPage(const Bytes& content = {});
  std::uint8_t* Page(std::uint64_t fidx) { return pages_[static_cast<std::size_t>(fidx)].data(); }
  std::uint64_t PageCount() const { return pages_.size(); }

  // Writes the entry of `vidx` in both header copies or in its table page,
  // appending and chaining table pages as needed.
  void SetEntry(std::int64_t vidx, std::uint64_t fidx);
  void SetGenerations(std::int64_t page0, std::int64_t page1);
  // A vidx not handed out yet (0 is the root's).
  std::int64_t NewVidx() { return nextVidx_++; }

  // A stream whose head page holds the content (at most 65527 bytes).
  std::int64_t AddInlineStream(const Bytes& content, std::int64_t vidx);
  // A paged stream over the given data page vidxs (index pages beyond 8189
  // of them); `length` bytes long.
  std::int64_t AddPagedStream(const std::vector<std::int64_t>& dataVidxs, std::uint64_t length,
                              std::int64_t vidx);
  // A paged stream whose data pages hold `content`, each on a page of its own.
  std::int64_t AddPagedStream(const Bytes& content, std::int64_t vidx);
  // Inline when it fits a head page, paged otherwise.
  std::int64_t AddStream(const Bytes& content, std::int64_t vidx);

  Bytes Build() const;

 private:
  void WriteEntry(std::uint8_t* page, std::size_t at, std::uint64_t fidx);

  std::vector<Bytes> pages_;
  std::vector<std::uint64_t> tablePages_;
  std::int64_t nextVidx_ = 1;
};

// Blob contents.
Bytes RawBlob(const Bytes& content);
// `declared` overrides the uncompressed size written in the header.
Bytes ZstdBlob(const Bytes& content, std::optional<std::uint64_t> declared = std::nullopt);

struct Thumbnail {
  std::int32_t width;
  std::int32_t height;
  std::int64_t blobVidx;
};
// A verified document root, with the thumbnail field when given.
Bytes DocumentRoot(std::optional<Thumbnail> thumbnail);

// A well-formed document whose thumbnail (`pixels`, width × height words) is
// a blob of the given type; root and blob in streams of their own.
VfqWriter ThumbnailDocument(std::int32_t width, std::int32_t height,
                            const std::vector<std::uint32_t>& pixels, std::uint8_t blobType);

// Pixel (x, y) of the pattern picture: blocks of 64 × 64 pixels of one
// colour and alpha each, so that very large pictures compress to little.
std::uint32_t PatternPixel(std::int64_t x, std::int64_t y);

// The pattern picture of width × height as a Zstandard blob, compressed row
// by row: the picture is never held whole. A windowLog other than 0 sets
// the window its frame declares (as `zstd --long=N` does).
Bytes PatternBlob(std::int32_t width, std::int32_t height, int windowLog = 0);

// A document whose thumbnail is PatternBlob(width, height, windowLog).
VfqWriter PatternDocument(std::int32_t width, std::int32_t height, int windowLog = 0);

}  // namespace vfqtest
