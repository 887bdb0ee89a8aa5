// Reads one logical stream of a TNW document: an inline stream from its head
// page, a paged stream through its page lists (head page, then index pages)
// with at most one data page mapped at a time. The head and index pages stay
// mapped until the reader is destroyed, which gives every page back.
//
// Opening throws oxan::TNWError for a length beyond what the file's pages
// hold, and for an index chain the file cannot mean: a link that is 0 or
// negative other than −1 (from the head page with the diagnostic "Invalid
// nextVidx: 0x…" and the head's first 64 bytes), or a chain that returns to
// a page already in it. Page store and mapper exceptions pass through.
#pragma once

#include <cstdint>
#include <vector>

#include "pagestore/readable_page_store.h"

namespace tnw {

class StreamReader {
 public:
  StreamReader(pagestore::ReadablePageStore& store, std::int64_t vidx);
  ~StreamReader();
  StreamReader(const StreamReader&) = delete;
  StreamReader& operator=(const StreamReader&) = delete;

  std::uint64_t length() const noexcept { return length_; }
  // Copies up to `count` bytes from the position and advances; 0 at the end.
  std::int32_t read(std::uint8_t* buffer, std::int32_t count);

 private:
  struct IndexPage {
    const std::uint8_t* page;
    std::int64_t vidx;  // the link it was reached by
  };

  void OpenIndexChain();
  std::int64_t DataPageVidx(std::uint64_t pageNumber) const;
  void Close() noexcept;

  pagestore::ReadablePageStore& store_;
  std::int64_t vidx_;
  const std::uint8_t* head_;
  std::uint64_t length_;
  bool inline_;
  std::uint64_t position_ = 0;
  std::vector<IndexPage> indexPages_;
  const std::uint8_t* cached_ = nullptr;
  std::int64_t cachedVidx_ = -1;
};

}  // namespace tnw
