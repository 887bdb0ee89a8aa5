// Aligned allocation from the C runtime heap. The Windows runtime frees
// aligned blocks with a function of its own, so both halves live here.
#pragma once

#include <cstddef>

namespace oxan::memory {

// Null when the heap cannot supply the block.
void* AlignedAlloc(std::size_t size, std::size_t alignment) noexcept;
void AlignedFree(void* block) noexcept;

}  // namespace oxan::memory
