#include "pagestore/rpage_store.h"

#include <string>
#include <unordered_set>
#include <utility>

#include "bytes/little_endian.h"
#include "errors/errors.h"
#include "pagestore/page_layout.h"

namespace pagestore {

// A failure after a page was mapped leaves it to the mapper, whose
// destructor frees whatever is still recorded.
template <typename Mapper>
RPageStore<Mapper>::RPageStore(Mapper mapper)
    : mapper_(std::move(mapper)), pageNum_(mapper_.size() / kPageSize) {
  const std::uint8_t* page0 = mapper_.map(0);
  const std::uint8_t* page1 = mapper_.map(1);
  const auto generation0 = static_cast<std::int64_t>(ReadLe64(page0 + kGenerationAt));
  const auto generation1 = static_cast<std::int64_t>(ReadLe64(page1 + kGenerationAt));
  const bool first = generation0 > generation1;
  headerFidx_ = first ? 0 : 1;
  header_ = first ? page0 : page1;
  mapper_.unmap(first ? page1 : page0);
  WalkTableChain();
}

template <typename Mapper>
RPageStore<Mapper>::~RPageStore() {
  mapper_.unmap(header_);
  ReleaseTablePages();
}

template <typename Mapper>
void RPageStore<Mapper>::ReleaseTablePages() noexcept {
  if (released_) return;
  for (const std::uint8_t* page : tablePages_) mapper_.unmap(page);
  released_ = true;
}

// Every page of the chain is mapped once; a page beyond the file fails to
// map, so the walk ends within pageNum steps.
template <typename Mapper>
void RPageStore<Mapper>::WalkTableChain() {
  std::unordered_set<std::uint64_t> visited;
  for (std::uint64_t next = ReadLe64(header_ + kFirstTablePageAt); next != 0;) {
    if (next < kFirstDataPage)
      throw oxan::TNWError("table page chain names header page " + std::to_string(next));
    if (!visited.insert(next).second)
      throw oxan::TNWError("table page chain returns to page " + std::to_string(next));
    tablePages_.push_back(mapper_.map(next));
    next = ReadLe64(tablePages_.back() + kNextTablePageAt);
  }
}

template <typename Mapper>
std::vector<std::int64_t> RPageStore<Mapper>::freeVidxs() const {
  std::vector<std::int64_t> free;
  const std::int64_t capacity = Capacity();
  for (std::int64_t vidx = 0; vidx < capacity; ++vidx)
    if (FidxOf(vidx) == 0) free.push_back(vidx);
  return free;
}

// Only fidx below pageNum are recorded as used: the set is bounded by the
// file, whatever the entries name.
template <typename Mapper>
std::vector<std::uint64_t> RPageStore<Mapper>::freeFidxs() const {
  std::unordered_set<std::uint64_t> used = {0, 1};
  const auto use = [&](std::uint64_t fidx) {
    if (fidx < pageNum_) used.insert(fidx);
  };
  use(ReadLe64(header_ + kFirstTablePageAt));
  for (const std::uint8_t* page : tablePages_) use(ReadLe64(page + kNextTablePageAt));
  const std::int64_t capacity = Capacity();
  for (std::int64_t vidx = 0; vidx < capacity; ++vidx) use(FidxOf(vidx));
  std::vector<std::uint64_t> free;
  for (std::uint64_t fidx = kFirstDataPage; fidx < pageNum_; ++fidx)
    if (!used.contains(fidx)) free.push_back(fidx);
  return free;
}

template <typename Mapper>
std::int64_t RPageStore<Mapper>::Capacity() const noexcept {
  return kHeaderEntries + kTableEntries * static_cast<std::int64_t>(tablePages_.size());
}

template <typename Mapper>
std::uint64_t RPageStore<Mapper>::FidxOf(std::int64_t vidx) const noexcept {
  if (vidx < 0 || vidx >= Capacity()) return 0;
  if (vidx < kHeaderEntries)
    return ReadLe64(header_ + kHeaderEntriesAt + static_cast<std::size_t>(vidx) * kEntrySize +
                    kFidxInEntry);
  const std::int64_t rest = vidx - kHeaderEntries;
  const std::uint8_t* page = tablePages_[static_cast<std::size_t>(rest / kTableEntries)];
  return ReadLe64(page + kTableEntriesAt +
                  static_cast<std::size_t>(rest % kTableEntries) * kEntrySize + kFidxInEntry);
}

template <typename Mapper>
const std::uint8_t* RPageStore<Mapper>::getPage(std::int64_t vidx) {
  if (vidx < 0 || vidx >= Capacity())
    throw oxan::TNWError("vidx " + std::to_string(vidx) + " outside a table of " +
                         std::to_string(Capacity()) + " entries");
  const std::uint64_t fidx = FidxOf(vidx);
  if (fidx == 0) throw oxan::TNWError("vidx " + std::to_string(vidx) + " has no page");
  if (fidx >= pageNum_)
    throw oxan::TNWError("vidx " + std::to_string(vidx) + " names page " + std::to_string(fidx) +
                         " of " + std::to_string(pageNum_));
  return mapper_.map(fidx);
}

template <typename Mapper>
void RPageStore<Mapper>::releasePage(const std::uint8_t* page, std::int64_t) noexcept {
  mapper_.unmap(page);
}

template <typename Mapper>
bool RPageStore<Mapper>::hasPage(std::int64_t vidx) const {
  return FidxOf(vidx) != 0;
}

template <typename Mapper>
void RPageStore<Mapper>::describe(std::int64_t vidx, std::ostringstream& out) const {
  out << "vidx: " << vidx << ", fidx: " << FidxOf(vidx) << "\n"
      << "pageNum: " << pageNum_ << "\n";
}

template class RPageStore<SeekPageMapper>;

}  // namespace pagestore
