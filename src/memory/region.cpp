#include "memory/region.h"

#include <algorithm>
#include <new>

#include "memory/aligned_heap.h"

namespace oxan::memory {
namespace {

// The Region object sits after chunk 0's header, inside the first block slot
// of the smallest class, which no block ever occupies.
constexpr std::size_t kRegionOffset =
    (sizeof(ChunkHeader) + alignof(Region) - 1) / alignof(Region) * alignof(Region);
static_assert(kRegionOffset + sizeof(Region) <= kClassSizes[0]);

char* BaseOf(const Region* region) {
  return reinterpret_cast<char*>(const_cast<Region*>(region)) - kRegionOffset;
}

// Removes and returns the first completely free chunk of a queue, keeping
// the order of the others.
ChunkHeader* TakeCompletelyFree(std::deque<ChunkHeader*>& queue) {
  const auto found = std::find_if(queue.begin(), queue.end(),
                                  [](const ChunkHeader* c) { return IsCompletelyFree(*c); });
  if (found == queue.end()) return nullptr;
  ChunkHeader* chunk = *found;
  queue.erase(found);
  return chunk;
}

}  // namespace

Region* Region::Create() {
  void* memory = AlignedAlloc(kRegionSize, kRegionSize);
  if (!memory) throw std::bad_alloc();
  char* const base = static_cast<char*>(memory);
  new (base) ChunkHeader();
  auto* region = new (base + kRegionOffset) Region();
  // The other chunks' headers are made when they are first taken: a chunk
  // not used is not touched.
  std::lock_guard lock(region->chunkQueueMutex_);
  for (std::size_t k = 0; k < kChunksPerRegion; ++k)
    region->freeChunks_.push_back(reinterpret_cast<ChunkHeader*>(base + k * kChunkSize));
  return region;
}

void Region::Destroy(Region* region) noexcept {
  char* const base = BaseOf(region);
  region->~Region();
  AlignedFree(base);
}

Region& Region::Of(const ChunkHeader& chunk) {
  const auto address = reinterpret_cast<std::uintptr_t>(&chunk);
  const auto base = address & ~static_cast<std::uintptr_t>(kRegionSize - 1);
  return *reinterpret_cast<Region*>(base + kRegionOffset);
}

ChunkHeader& Region::ChunkAt(std::size_t index) const {
  return *reinterpret_cast<ChunkHeader*>(BaseOf(this) + index * kChunkSize);
}

ClassQueues& Region::QueuesFor(std::uint64_t blockSize) {
  std::lock_guard lock(classMapMutex_);
  return classes_[blockSize];
}

ChunkHeader* Region::Acquire(std::uint64_t blockSize) {
  {
    std::lock_guard lock(chunkQueueMutex_);
    if (!freeChunks_.empty()) {
      ChunkHeader* chunk = freeChunks_.front();
      freeChunks_.pop_front();
      if (chunk != &ChunkAt(0)) new (chunk) ChunkHeader();
      FormatChunk(*chunk, blockSize);
      return chunk;
    }
  }
  ClassQueues& queues = QueuesFor(blockSize);
  {
    std::lock_guard lock(queues.partialMutex);
    if (!queues.partial.empty()) {
      ChunkHeader* chunk = queues.partial.front();
      queues.partial.pop_front();
      return chunk;
    }
  }
  if (ChunkHeader* chunk = TakeFreedUpFromFull(queues)) return chunk;
  return TakeFreeChunkOfOtherClass(blockSize);
}

// Chunks in the full queue gain free blocks only through their remote lists.
// Of those found freed up, the last is the result and the others move to the
// partial queue in the order found; the rest stay in order.
ChunkHeader* Region::TakeFreedUpFromFull(ClassQueues& queues) {
  std::lock_guard fullLock(queues.fullMutex);
  ChunkHeader* result = nullptr;
  for (std::size_t left = queues.full.size(); left > 0; --left) {
    ChunkHeader* chunk = queues.full.front();
    queues.full.pop_front();
    if (!HasFreeBlocks(*chunk)) {
      queues.full.push_back(chunk);
      continue;
    }
    if (result) {
      std::lock_guard partialLock(queues.partialMutex);
      queues.partial.push_back(result);
    }
    result = chunk;
  }
  return result;
}

// A chunk changes its block size only when every block in it is free.
ChunkHeader* Region::TakeFreeChunkOfOtherClass(std::uint64_t blockSize) {
  std::lock_guard lock(classMapMutex_);
  for (auto& [otherSize, queues] : classes_) {
    if (otherSize == blockSize) continue;
    ChunkHeader* chunk = nullptr;
    {
      std::lock_guard partialLock(queues.partialMutex);
      chunk = TakeCompletelyFree(queues.partial);
    }
    if (!chunk) {
      std::lock_guard fullLock(queues.fullMutex);
      chunk = TakeCompletelyFree(queues.full);
    }
    if (chunk) {
      FormatChunk(*chunk, blockSize);
      return chunk;
    }
  }
  return nullptr;
}

void Region::Release(ChunkHeader& chunk) {
  chunk.owner.store(0, std::memory_order_relaxed);
  ClassQueues& queues = QueuesFor(chunk.blockSize);
  if (HasFreeBlocks(chunk)) {
    std::lock_guard lock(queues.partialMutex);
    queues.partial.push_back(&chunk);
  } else {
    std::lock_guard lock(queues.fullMutex);
    queues.full.push_back(&chunk);
  }
}

}  // namespace oxan::memory
