// The read-only page store over a page mapper. Opening maps both header
// copies and keeps the one with the larger (signed) generation, page 1 on a
// tie; walks the table-page chain and keeps every table page mapped.
// Resolving a vidx never touches the stream. The allocation maps are built
// only when asked for: their size follows the stream's reported size, which
// the reading path never needs.
//
// Refused with oxan::TNWError, reading nothing: a vidx that is negative,
// beyond the table, or whose entry names no page or a page at or beyond
// pageNum; a table-page chain that names page 0 or 1 or returns to a page
// already in it. The mapper's exceptions ("IO error", read failures) pass
// through opening and getPage. One thread uses a store at a time.
#pragma once

#include <cstdint>
#include <sstream>
#include <vector>

#include "pagestore/readable_page_store.h"
#include "pagestore/seek_page_mapper.h"

namespace pagestore {

template <typename Mapper>
class RPageStore final : public ReadablePageStore {
 public:
  explicit RPageStore(Mapper mapper);
  RPageStore(const RPageStore&) = delete;
  RPageStore& operator=(const RPageStore&) = delete;
  // Gives back the header page, then the table pages; pages obtained with
  // getPage must have been given back already.
  ~RPageStore() override;

  const std::uint8_t* getPage(std::int64_t vidx) override;
  void releasePage(const std::uint8_t* page, std::int64_t vidx) noexcept override;
  bool hasPage(std::int64_t vidx) const override;
  void describe(std::int64_t vidx, std::ostringstream& out) const override;

  std::uint64_t pageCount() const noexcept override { return pageNum_; }
  std::uint64_t pageNum() const noexcept { return pageNum_; }
  std::uint32_t headerFidx() const noexcept { return headerFidx_; }
  std::size_t tablePageCount() const noexcept { return tablePages_.size(); }
  // Pages the mapper has handed out and not had back: the header page, the
  // table pages, and whatever getPage gave that is not released yet.
  std::size_t mappedPageCount() const noexcept { return mapper_.mappedCount(); }
  // Vidx whose entry names no page, in increasing order.
  std::vector<std::int64_t> freeVidxs() const;
  // Fidx from the first data page up to pageNum that neither the header,
  // the table chain nor an entry uses, in increasing order.
  std::vector<std::uint64_t> freeFidxs() const;

 private:
  // The fidx in the entry of `vidx`; 0 for a vidx outside the table.
  std::uint64_t FidxOf(std::int64_t vidx) const noexcept;
  std::int64_t Capacity() const noexcept;
  void ReleaseTablePages() noexcept;
  void WalkTableChain();

  Mapper mapper_;
  std::uint64_t pageNum_;
  std::uint32_t headerFidx_ = 0;
  const std::uint8_t* header_ = nullptr;
  std::vector<const std::uint8_t*> tablePages_;
  bool released_ = false;
};

extern template class RPageStore<SeekPageMapper>;

}  // namespace pagestore
