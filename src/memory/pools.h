// Per-thread pools of the three size classes over shared 16 MiB regions.
//
// Allocate and Free take no lock while the calling thread's current chunk
// of the class has a free block (local list, then the remote list swapped
// in whole). Otherwise the thread releases that chunk and, under the global
// mutex, acquires another: from the active regions, then from a rescan of
// the exhausted ones (skipped for a countdown after a rescan that found
// nothing), else from a new region.
//
// Threads: any thread may free any block; a block whose chunk the caller
// does not own goes onto that chunk's remote list. When a thread ends, its
// current chunks go back to the shared queues unowned; their blocks stay
// valid. Lock order: global mutex → region mutexes (see region.h); releasing
// a chunk takes only region mutexes.
//
// Regions are kept until the Pools object is destroyed. The process-wide
// instance behind BlockAlloc lives until the module unloads; tests build
// their own to observe a fresh state.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "memory/chunk.h"
#include "platform/thread_slot.h"

namespace oxan::memory {

class Region;

class Pools {
 public:
  Pools();
  // Releases the calling thread's chunks, frees the thread slot (on Windows
  // that releases every other live thread's chunks too), then frees every
  // region. Other threads must have stopped using blocks of these pools.
  ~Pools();
  Pools(const Pools&) = delete;
  Pools& operator=(const Pools&) = delete;

  // A block of kClassSizes[classIndex] bytes; throws std::bad_alloc when a
  // new region cannot be obtained.
  void* Allocate(std::size_t classIndex) {
    if (auto* thread = static_cast<ThreadCaches*>(slot_.Get())) {
      if (ChunkHeader* chunk = thread->caches[classIndex].chunk) {
        if (void* block = PopLocal(*chunk)) return block;
      }
    }
    return AllocateSlow(classIndex);
  }

  // Takes back a block that Allocate of these pools returned.
  void Free(void* block) noexcept {
    ChunkHeader& chunk = *ChunkOf(block);
    if (chunk.owner.load(std::memory_order_relaxed) == platform::CurrentThreadId()) {
      PushLocal(chunk, block);
    } else {
      PushRemote(chunk, block);
    }
  }

  std::size_t RegionCount() const;

 private:
  struct ThreadClassCache {
    std::uint64_t blockSize;
    ChunkHeader* chunk;  // owned by this thread, or null
  };
  struct ThreadCaches {
    std::uint32_t threadId;
    std::array<ThreadClassCache, kClassCount> caches;
  };

  void* AllocateSlow(std::size_t classIndex);
  ThreadCaches& CallerCaches();
  ChunkHeader* AcquireChunk(std::uint64_t blockSize);
  ChunkHeader* RescanExhausted(std::uint64_t blockSize, std::size_t exhaustedBefore);
  static void VFK_AT_THREAD_EXIT ReleaseThreadCaches(void* caches) noexcept;

  mutable std::mutex global_;
  std::vector<Region*> regions_;   // owning, in creation order
  std::deque<Region*> active_;     // the last search found a chunk here
  std::deque<Region*> exhausted_;  // the last search found none
  unsigned rescanCountdown_ = 0;
  platform::ThreadSlot slot_;  // the calling thread's ThreadCaches
};

}  // namespace oxan::memory
