#include "memory/large_block.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace oxan::memory {

#if defined(__linux__)

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

void* LargeAlloc(std::size_t size) noexcept {
  if (size < kHugePage) return std::malloc(size);
  if (size > SIZE_MAX - (kHugePage - 1)) return nullptr;
  const std::size_t rounded = (size + kHugePage - 1) & ~(kHugePage - 1);
  void* block = std::aligned_alloc(kHugePage, rounded);
  if (block) madvise(block, rounded, MADV_HUGEPAGE);  // a request: refused, the block still serves
  return block;
}

#else

void* LargeAlloc(std::size_t size) noexcept { return std::malloc(size); }

#endif

void LargeFree(void* block) noexcept { std::free(block); }

}  // namespace oxan::memory
