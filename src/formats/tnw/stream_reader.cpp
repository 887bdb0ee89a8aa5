#include "formats/tnw/stream_reader.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <unordered_set>

#include "bytes/little_endian.h"
#include "errors/errors.h"
#include "formats/tnw/tnw_layout.h"

namespace tnw {
namespace {

bool IsValidLink(std::int64_t link) { return link > 0 || link == kNoNextVidx; }

std::string InvalidNextVidxText(std::uint64_t value, const std::uint8_t* head) {
  std::ostringstream text;
  text << "Invalid nextVidx: 0x" << std::hex << value << "\nhead: ";
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < kDiagnosticHeadBytes; ++i)
    text << kDigits[head[i] >> 4] << kDigits[head[i] & 15] << ' ';
  text << '\n';
  return text.str();
}

}  // namespace

StreamReader::StreamReader(pagestore::ReadablePageStore& store, std::int64_t vidx)
    : store_(store),
      vidx_(vidx),
      head_(store.getPage(vidx)),
      length_(ReadLe64(head_ + kLengthAt)),
      inline_(head_[kKindAt] == kInlineKind) {
  try {
    // Checked before anything is sized from the length: the file's pages
    // bound every stream, however its page lists repeat pages.
    if (length_ > store.pageCount() * pagestore::kPageSize)
      throw oxan::TNWError("stream at vidx " + std::to_string(vidx) + " claims " +
                           std::to_string(length_) + " bytes; the file has " +
                           std::to_string(store.pageCount()) + " pages");
    if (inline_ && length_ > kInlineCapacity)
      throw oxan::TNWError("inline stream at vidx " + std::to_string(vidx) + " claims " +
                           std::to_string(length_) + " bytes of at most " +
                           std::to_string(kInlineCapacity));
    if (!inline_) OpenIndexChain();
  } catch (...) {
    Close();
    throw;
  }
}

StreamReader::~StreamReader() { Close(); }

// Maps the index pages in chain order. Each link must name a page not
// visited yet, so the chain is as long as the file has distinct pages.
void StreamReader::OpenIndexChain() {
  const std::uint64_t first = ReadLe64(head_ + kNextVidxAt);
  if (!IsValidLink(static_cast<std::int64_t>(first)))
    throw oxan::TNWError(InvalidNextVidxText(first, head_));
  std::unordered_set<std::int64_t> visited;
  for (auto next = static_cast<std::int64_t>(first); next != kNoNextVidx;) {
    if (!visited.insert(next).second)
      throw oxan::TNWError("index page chain returns to vidx " + std::to_string(next));
    indexPages_.reserve(indexPages_.size() + 1);  // no page is mapped and then lost
    indexPages_.push_back({store_.getPage(next), next});
    next = static_cast<std::int64_t>(ReadLe64(indexPages_.back().page + kIndexNextVidxAt));
    if (!IsValidLink(next))
      throw oxan::TNWError("invalid index page link " + std::to_string(next) + " at vidx " +
                           std::to_string(indexPages_.back().vidx));
  }
}

std::int64_t StreamReader::DataPageVidx(std::uint64_t pageNumber) const {
  if (pageNumber < static_cast<std::uint64_t>(kHeadPageListEntries))
    return static_cast<std::int64_t>(ReadLe64(head_ + kHeadPageListAt + pageNumber * 8));
  const std::uint64_t rest = pageNumber - kHeadPageListEntries;
  const std::uint64_t index = rest / kIndexPageListEntries;
  if (index >= std::uint64_t{indexPages_.size()})
    throw oxan::TNWError("stream at vidx " + std::to_string(vidx_) +
                         " has no page list entry for page " + std::to_string(pageNumber));
  const std::uint8_t* page = indexPages_[static_cast<std::size_t>(index)].page;
  return static_cast<std::int64_t>(
      ReadLe64(page + kIndexPageListAt + (rest % kIndexPageListEntries) * 8));
}

std::int32_t StreamReader::read(std::uint8_t* buffer, std::int32_t count) {
  if (count <= 0 || position_ >= length_) return 0;
  const auto wanted =
      static_cast<std::int32_t>(std::min<std::uint64_t>(std::uint64_t(count), length_ - position_));
  if (inline_) {
    std::memcpy(buffer, head_ + kInlineContentAt + position_, static_cast<std::size_t>(wanted));
    position_ += static_cast<std::uint64_t>(wanted);
    return wanted;
  }
  for (std::int32_t copied = 0; copied < wanted;) {
    const std::int64_t vidx = DataPageVidx(position_ / pagestore::kPageSize);
    if (vidx != cachedVidx_ || !cached_) {
      const std::uint8_t* page = store_.getPage(vidx);
      if (cached_) store_.releasePage(cached_, cachedVidx_);
      cached_ = page;
      cachedVidx_ = vidx;
    }
    const std::uint64_t offset = position_ % pagestore::kPageSize;
    const auto piece = static_cast<std::int32_t>(
        std::min<std::uint64_t>(pagestore::kPageSize - offset, std::uint64_t(wanted - copied)));
    std::memcpy(buffer + copied, cached_ + offset, static_cast<std::size_t>(piece));
    position_ += static_cast<std::uint64_t>(piece);
    copied += piece;
  }
  return wanted;
}

void StreamReader::Close() noexcept {
  if (cached_) store_.releasePage(cached_, cachedVidx_);
  cached_ = nullptr;
  for (const IndexPage& index : indexPages_) store_.releasePage(index.page, index.vidx);
  indexPages_.clear();
  store_.releasePage(head_, vidx_);
}

}  // namespace tnw
