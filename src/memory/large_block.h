// Blocks outside the pools, from the C runtime heap. On Linux a block of
// 2 MiB or more is aligned to 2 MiB and asked to be backed by huge pages
// (where the system gives them on request), so that filling a large picture
// faults once per 2 MiB instead of once per 4 KiB page: for a short-lived
// process that unpacks a large picture, those faults were most of its system
// time. Elsewhere, and for smaller blocks, the heap as it is.
#pragma once

#include <cstddef>

namespace oxan::memory {

// Null when the heap cannot supply the block.
void* LargeAlloc(std::size_t size) noexcept;
// Takes back a block of LargeAlloc.
void LargeFree(void* block) noexcept;

}  // namespace oxan::memory
