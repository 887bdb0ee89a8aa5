// One 2 MiB chunk: its header and its two intrusive free lists.
//
// Layout of a chunk formatted for block size B (N = 2 MiB / B):
//   offset 0          ChunkHeader (chunk 0 of a region also holds the region
//                     bookkeeping after it, inside the same B bytes)
//   offset B·k        block k, k = 1 … N − 1
// A free block's first 8 bytes point to the next free block (null ends).
// Blocks never handed out since the chunk was formatted are on no list:
// they lie from `untouched` on and are handed out in ascending order once
// the local list is empty, so only memory that is used is ever touched.
//
// Threads: the local list belongs to the owner thread alone. The remote list
// is a multi-producer stack: any thread pushes, only the owner empties it, by
// swapping the whole list out, so pops never race and there is no ABA.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "memory/poison.h"
#include "memory/size_classes.h"

namespace oxan::memory {

struct FreeBlock {
  FreeBlock* next;
};

struct ChunkHeader {
  std::atomic<std::uint32_t> owner{0};  // thread identifier; 0 when unowned
  FreeBlock* localFree = nullptr;
  std::atomic<FreeBlock*> remoteFree{nullptr};
  std::uint64_t blockSize = 0;           // 0 until first formatted
  std::uint64_t untouched = kChunkSize;  // offset of the first block never handed out
};

inline ChunkHeader* ChunkOf(const void* address) {
  return reinterpret_cast<ChunkHeader*>(reinterpret_cast<std::uintptr_t>(address) &
                                        ~static_cast<std::uintptr_t>(kChunkSize - 1));
}

// Makes every block of the chunk free and untouched, writing none of them.
void FormatChunk(ChunkHeader& chunk, std::uint64_t blockSize);

// Blocks never handed out since the chunk was formatted.
inline std::uint64_t UntouchedBlocks(const ChunkHeader& chunk) {
  return chunk.blockSize == 0 ? 0 : (kChunkSize - chunk.untouched) / chunk.blockSize;
}

// A free block keeps its link addressable and the rest poisoned.
inline void PoisonTail(void* block, std::uint64_t blockSize) {
  VFK_POISON(static_cast<char*>(block) + sizeof(FreeBlock),
             static_cast<std::size_t>(blockSize - sizeof(FreeBlock)));
}

// Owner only: next block of the local list, else the first untouched
// block; null when there is neither.
inline void* PopLocal(ChunkHeader& chunk) {
  FreeBlock* block = chunk.localFree;
  if (block) {
    chunk.localFree = block->next;
  } else if (chunk.untouched + chunk.blockSize <= kChunkSize) {
    block = reinterpret_cast<FreeBlock*>(reinterpret_cast<char*>(&chunk) + chunk.untouched);
    chunk.untouched += chunk.blockSize;
  } else {
    return nullptr;
  }
  VFK_UNPOISON(block, static_cast<std::size_t>(chunk.blockSize));
  return block;
}

// Any free block on a list or untouched. For the owner, or for a chunk in
// a shared queue (whose local list and untouched blocks nobody changes).
inline bool HasFreeBlocks(const ChunkHeader& chunk) {
  return chunk.localFree || chunk.remoteFree.load(std::memory_order_relaxed) ||
         UntouchedBlocks(chunk) > 0;
}

// Owner only: moves the remote list into the empty local list; false when
// the remote list was empty too.
bool TakeRemote(ChunkHeader& chunk);

// Owner only.
inline void PushLocal(ChunkHeader& chunk, void* block) {
  auto* freed = static_cast<FreeBlock*>(block);
  freed->next = chunk.localFree;
  chunk.localFree = freed;
  PoisonTail(block, chunk.blockSize);
}

// Any thread.
void PushRemote(ChunkHeader& chunk, void* block);

// True when the chunk is unowned and every block of it is free. Only for
// chunks that sit in a shared queue, whose local list nobody changes.
bool IsCompletelyFree(const ChunkHeader& chunk);

}  // namespace oxan::memory
