// A 16 MiB region: eight chunks and the queues that hold them while no
// thread owns them.
//
// The Region object itself lives in chunk 0, right after that chunk's
// header, so the region of any block is found by rounding its address down
// to 16 MiB. Chunks still in the free-chunk queue have never been used; a
// chunk released by its owner goes to the partial queue of its block size
// when it has a free block, else to the full queue.
//
// Lock order (with the registry's global mutex in front of all of these):
// chunk-queue mutex alone; class-map mutex → another class's partial or
// full mutex; a class's full mutex → the same class's partial mutex.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>

#include "memory/chunk.h"

namespace oxan::memory {

struct ClassQueues {
  std::mutex partialMutex;
  std::mutex fullMutex;
  std::deque<ChunkHeader*> partial;  // released with at least one free block
  std::deque<ChunkHeader*> full;     // released with none
};

class Region {
 public:
  // Obtains 16 MiB aligned on 16 MiB; throws std::bad_alloc when it cannot.
  static Region* Create();
  // Frees the region's memory; no block of it may be used afterwards.
  static void Destroy(Region* region) noexcept;
  static Region& Of(const ChunkHeader& chunk);

  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;

  // A chunk formatted for, or already serving, blockSize; null when the
  // region has none to give. The caller becomes the chunk's owner.
  ChunkHeader* Acquire(std::uint64_t blockSize);

  // Hands an unowned chunk back to its class's partial or full queue.
  void Release(ChunkHeader& chunk);

  ChunkHeader& ChunkAt(std::size_t index) const;

 private:
  Region() = default;
  ~Region() = default;

  ClassQueues& QueuesFor(std::uint64_t blockSize);
  ChunkHeader* TakeFreedUpFromFull(ClassQueues& queues);
  ChunkHeader* TakeFreeChunkOfOtherClass(std::uint64_t blockSize);

  std::mutex classMapMutex_;
  std::map<std::uint64_t, ClassQueues> classes_;  // never shrinks
  std::mutex chunkQueueMutex_;
  std::deque<ChunkHeader*> freeChunks_;  // never used, ascending address
};

}  // namespace oxan::memory
