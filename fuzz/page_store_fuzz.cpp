// libFuzzer target: the page store over any file, driven by the input. The
// front of the input is the file; its last bytes choose up to 64 calls of
// getPage, releasePage, hasPage and describe. Checks: a page handed out is a
// buffer not already held, getPage succeeds only for a vidx that hasPage
// names, and once every page handed out is given back, only the header and
// table pages are still mapped.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "fuzz_run.h"
#include "pagestore/rpage_store.h"

namespace {

constexpr std::size_t kOperationBytes = 64 * 9;

void Check(bool condition) {
  if (!condition) std::abort();
}

void Drive(const std::uint8_t* data, std::size_t size) {
  const std::size_t fileBytes = size > kOperationBytes ? size - kOperationBytes : 0;
  const std::vector<std::uint8_t> file(data, data + fileBytes);
  FuzzedDataProvider operations(data + fileBytes, size - fileBytes);
  std::optional<pagestore::RPageStore<pagestore::SeekPageMapper>> store;
  try {
    store.emplace(pagestore::SeekPageMapper(
        file.size(), [&](std::uint64_t offset, std::uint8_t* buffer, std::int32_t length) {
          if (offset >= file.size()) return 0;
          const auto count = static_cast<std::int32_t>(
              std::min<std::uint64_t>(std::uint64_t(length), file.size() - offset));
          std::copy_n(file.data() + offset, count, buffer);
          return count;
        }));
  } catch (const std::runtime_error&) {
    return;
  }
  std::multimap<const std::uint8_t*, std::int64_t> held;
  while (operations.remaining_bytes() > 0) {
    const auto choice = operations.ConsumeIntegralInRange<int>(0, 3);
    const auto vidx = operations.ConsumeIntegralInRange<std::int64_t>(-2, 20000);
    switch (choice) {
      case 0:
        try {
          const std::uint8_t* page = store->getPage(vidx);
          Check(store->hasPage(vidx));
          Check(held.find(page) == held.end());
          held.emplace(page, vidx);
        } catch (const std::runtime_error&) {
        }
        break;
      case 1:
        if (!held.empty()) {
          const auto page = held.begin();
          store->releasePage(page->first, page->second);
          held.erase(page);
        }
        break;
      case 2:
        store->hasPage(vidx);
        break;
      default: {
        std::ostringstream text;
        store->describe(vidx, text);
        break;
      }
    }
  }
  for (const auto& [page, vidx] : held) store->releasePage(page, vidx);
  Check(store->mappedPageCount() == 1 + store->tablePageCount());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOnFuzzStack([&] { Drive(data, size); });
  return 0;
}
