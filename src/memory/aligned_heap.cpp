#include "memory/aligned_heap.h"

#include <cstdlib>
#if defined(_WIN32)
#include <malloc.h>
#endif

namespace oxan::memory {

void* AlignedAlloc(std::size_t size, std::size_t alignment) noexcept {
#if defined(_WIN32)
  return _aligned_malloc(size, alignment);
#else
  return std::aligned_alloc(alignment, size);
#endif
}

void AlignedFree(void* block) noexcept {
#if defined(_WIN32)
  _aligned_free(block);
#else
  std::free(block);
#endif
}

}  // namespace oxan::memory
