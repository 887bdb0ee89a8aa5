// Block allocator behind every pixel buffer.
//
// BlockAlloc(size) returns uninitialised memory; BlockFree(p, size) takes it
// back and must get the same size, because the route is chosen from the
// size, not from the pointer; a null block is ignored whatever the size. A
// size that rounds up (to a multiple of 8) to exactly 16, 64 or 128 KiB
// comes from a per-thread pool of that class, with no lock on the usual
// path; every other size goes to the C runtime heap.
//
// BlockAlloc returns null when the C runtime heap is exhausted (and for a
// size so large that rounding it overflows); it throws std::bad_alloc when
// the pools need a new region and cannot get one.
//
// Threads: any thread may free any block. Depends on the standard library
// and the platform's thread slot only.
#pragma once

#include <cstdint>

namespace oxan {

void* BlockAlloc(std::uint64_t size);
void BlockFree(void* block, std::uint64_t size) noexcept;

// Where an owner of pixel memory gets its blocks: the allocator above, or a
// stand-in that a test supplies to watch or refuse allocations.
struct BlockSource {
  void* (*alloc)(std::uint64_t size);
  void (*free)(void* block, std::uint64_t size) noexcept;
};

inline constexpr BlockSource kBlockAllocator{&BlockAlloc, &BlockFree};

// Gives the pools' memory back, once, when a library holding them is
// unloaded and no thread uses their blocks any more; nothing may use the
// allocator after it. Not at process exit: other threads were stopped
// wherever they were, perhaps holding one of the pools' locks, and the
// memory goes back with the process anyway.
void ReleaseBlockAllocator() noexcept;

}  // namespace oxan
