// A page store that can be read: virtual page indices (vidx) to 64 KiB pages.
#pragma once

#include <cstdint>
#include <sstream>

namespace pagestore {

class ReadablePageStore {
 public:
  // The 65536 bytes of the page that holds `vidx`, read anew; give it back
  // with releasePage, which never throws (a fault it finds makes the next
  // getPage fail).
  virtual const std::uint8_t* getPage(std::int64_t vidx) = 0;
  virtual void releasePage(const std::uint8_t* page, std::int64_t vidx) noexcept = 0;
  virtual ~ReadablePageStore() = default;
  // True when the entry of `vidx` names a page.
  virtual bool hasPage(std::int64_t vidx) const = 0;
  // Whole pages in the file: no stream holds more than pageCount() × 65536
  // bytes.
  virtual std::uint64_t pageCount() const noexcept = 0;
  // Appends "vidx: V, fidx: F\npageNum: N\n" (decimal).
  virtual void describe(std::int64_t vidx, std::ostringstream& out) const = 0;
};

}  // namespace pagestore
