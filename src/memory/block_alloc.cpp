#include "memory/block_alloc.h"

#include <cstdlib>
#include <limits>

#include "memory/large_block.h"
#include "memory/pools.h"
#include "memory/size_classes.h"

namespace oxan {
namespace {

// Built by static initialisation, when the module loads, and not destroyed
// with the other statics: ReleaseBlockAllocator does that where it is safe.
union ProcessPools {
  ProcessPools() : pools() {}
  ~ProcessPools() {}
  memory::Pools pools;
} process;
memory::Pools& processPools = process.pools;

}  // namespace

void* BlockAlloc(std::uint64_t size) {
  std::uint64_t rounded = 0;
  if (!memory::RoundUpToGranule(size, rounded)) return nullptr;
  const std::size_t classIndex = memory::ClassIndexOf(rounded);
  if (classIndex == memory::kNoClass) {
    // In a 32-bit build a size beyond the address space is an exhausted heap.
    if constexpr (sizeof(std::size_t) < sizeof(std::uint64_t)) {
      if (rounded > std::numeric_limits<std::size_t>::max()) return nullptr;
    }
    return memory::LargeAlloc(static_cast<std::size_t>(rounded));
  }
  return processPools.Allocate(classIndex);
}

void BlockFree(void* block, std::uint64_t size) noexcept {
  if (!block) return;  // as the heap does, whatever the size
  std::uint64_t rounded = 0;
  if (memory::RoundUpToGranule(size, rounded) &&
      memory::ClassIndexOf(rounded) != memory::kNoClass) {
    processPools.Free(block);
  } else {
    memory::LargeFree(block);
  }
}

void ReleaseBlockAllocator() noexcept { processPools.~Pools(); }

}  // namespace oxan
