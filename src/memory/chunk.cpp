#include "memory/chunk.h"

#include <cstddef>

#include "memory/poison.h"

namespace oxan::memory {
namespace {

// Counts up to limit + 1 entries, so a list damaged into a cycle still ends.
std::uint64_t CountList(const FreeBlock* block, std::uint64_t limit) {
  std::uint64_t count = 0;
  for (; block && count <= limit; block = block->next) ++count;
  return count;
}

}  // namespace

void FormatChunk(ChunkHeader& chunk, std::uint64_t blockSize) {
  chunk.blockSize = blockSize;
  chunk.localFree = nullptr;
  chunk.untouched = blockSize;
  chunk.remoteFree.store(nullptr, std::memory_order_seq_cst);  // a full fence on x86-64
  VFK_POISON(reinterpret_cast<char*>(&chunk) + blockSize,
             static_cast<std::size_t>(kChunkSize - blockSize));
}

bool TakeRemote(ChunkHeader& chunk) {
  if (!chunk.remoteFree.load(std::memory_order_relaxed)) return false;
  chunk.localFree = chunk.remoteFree.exchange(nullptr, std::memory_order_acquire);
  return chunk.localFree != nullptr;
}

void PushRemote(ChunkHeader& chunk, void* block) {
  auto* freed = static_cast<FreeBlock*>(block);
  PoisonTail(block, chunk.blockSize);
  FreeBlock* head = chunk.remoteFree.load(std::memory_order_relaxed);
  do {
    freed->next = head;
  } while (!chunk.remoteFree.compare_exchange_weak(head, freed, std::memory_order_release,
                                                   std::memory_order_relaxed));
}

bool IsCompletelyFree(const ChunkHeader& chunk) {
  if (chunk.owner.load(std::memory_order_relaxed) != 0) return false;
  if (chunk.blockSize == 0) return true;
  const std::uint64_t capacity = BlocksPerChunk(chunk.blockSize);
  const std::uint64_t local = CountList(chunk.localFree, capacity);
  const std::uint64_t remote =
      CountList(chunk.remoteFree.load(std::memory_order_acquire), capacity);
  return local + remote + UntouchedBlocks(chunk) == capacity;
}

}  // namespace oxan::memory
