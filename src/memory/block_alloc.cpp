#include "memory/block_alloc.h"

#include <cstdlib>

#include "memory/pools.h"
#include "memory/size_classes.h"

static_assert(sizeof(std::size_t) == sizeof(std::uint64_t), "sizes pass to the heap unchanged");

namespace oxan {
namespace {

// Built by static initialisation, when the module loads, and destroyed when
// it unloads; no block may be used after that.
memory::Pools processPools;

}  // namespace

void* BlockAlloc(std::uint64_t size) {
  std::uint64_t rounded = 0;
  if (!memory::RoundUpToGranule(size, rounded)) return nullptr;
  const std::size_t classIndex = memory::ClassIndexOf(rounded);
  if (classIndex == memory::kNoClass) return std::malloc(static_cast<std::size_t>(rounded));
  return processPools.Allocate(classIndex);
}

void BlockFree(void* block, std::uint64_t size) noexcept {
  if (!block) return;  // as the heap does, whatever the size
  std::uint64_t rounded = 0;
  if (memory::RoundUpToGranule(size, rounded) &&
      memory::ClassIndexOf(rounded) != memory::kNoClass) {
    processPools.Free(block);
  } else {
    std::free(block);
  }
}

}  // namespace oxan
