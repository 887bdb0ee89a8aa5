#include "memory/pools.h"

#include <algorithm>
#include <utility>

#include "memory/region.h"

namespace oxan::memory {
namespace {

void* TakeBlock(ChunkHeader& chunk) {
  if (void* block = PopLocal(chunk)) return block;
  return TakeRemote(chunk) ? PopLocal(chunk) : nullptr;
}

void ReleaseChunk(ChunkHeader* chunk) {
  if (chunk) Region::Of(*chunk).Release(*chunk);
}

}  // namespace

Pools::Pools() : slot_(&Pools::ReleaseThreadCaches) {}

Pools::~Pools() {
  if (void* caches = slot_.Get()) {
    slot_.Set(nullptr);
    ReleaseThreadCaches(caches);
  }
  // The slot goes before the regions: on Windows freeing it releases the
  // caches of every thread still alive, and that writes into their chunks.
  slot_.Free();
  for (Region* region : regions_) Region::Destroy(region);
}

std::size_t Pools::RegionCount() const {
  std::lock_guard lock(global_);
  return regions_.size();
}

Pools::ThreadCaches& Pools::CallerCaches() {
  if (void* caches = slot_.Get()) return *static_cast<ThreadCaches*>(caches);
  auto* caches = new ThreadCaches{platform::CurrentThreadId(), {}};
  for (std::size_t i = 0; i < kClassCount; ++i) caches->caches[i] = {kClassSizes[i], nullptr};
  slot_.Set(caches);
  return *caches;
}

void VFK_AT_THREAD_EXIT Pools::ReleaseThreadCaches(void* caches) noexcept {
  auto* owned = static_cast<ThreadCaches*>(caches);
  for (ThreadClassCache& cache : owned->caches) ReleaseChunk(cache.chunk);
  delete owned;
}

void* Pools::AllocateSlow(std::size_t classIndex) {
  ThreadCaches& thread = CallerCaches();
  ThreadClassCache& cache = thread.caches[classIndex];
  if (cache.chunk) {
    if (void* block = TakeBlock(*cache.chunk)) return block;
  }
  // Cleared before anything can throw, so a failed region creation leaves no
  // released chunk behind in the cache.
  ReleaseChunk(std::exchange(cache.chunk, nullptr));
  ChunkHeader* chunk = AcquireChunk(cache.blockSize);
  chunk->owner.store(thread.threadId, std::memory_order_relaxed);
  cache.chunk = chunk;
  return TakeBlock(*chunk);
}

ChunkHeader* Pools::AcquireChunk(std::uint64_t blockSize) {
  std::lock_guard lock(global_);
  const std::size_t exhaustedBefore = exhausted_.size();
  while (!active_.empty()) {
    if (ChunkHeader* chunk = active_.front()->Acquire(blockSize)) return chunk;
    exhausted_.push_back(active_.front());
    active_.pop_front();
  }
  if (rescanCountdown_ != 0) {
    --rescanCountdown_;
  } else if (ChunkHeader* chunk = RescanExhausted(blockSize, exhaustedBefore)) {
    return chunk;
  }
  regions_.reserve(regions_.size() + 1);
  Region* region = Region::Create();
  regions_.push_back(region);
  active_.push_back(region);
  return region->Acquire(blockSize);
}

// Tries at most `exhaustedBefore` regions from the front of the exhausted
// queue. Regions that fail go back to its end in the order tried.
ChunkHeader* Pools::RescanExhausted(std::uint64_t blockSize, std::size_t exhaustedBefore) {
  std::vector<Region*> setAside;
  ChunkHeader* found = nullptr;
  for (std::size_t i = 0; i < exhaustedBefore && !exhausted_.empty(); ++i) {
    Region* region = exhausted_.front();
    exhausted_.pop_front();
    found = region->Acquire(blockSize);
    if (found) {
      active_.push_back(region);
      break;
    }
    setAside.push_back(region);
  }
  exhausted_.insert(exhausted_.end(), setAside.begin(), setAside.end());
  if (!found) {
    rescanCountdown_ =
        static_cast<unsigned>(std::min<std::size_t>(kRescanMaximum, exhausted_.size() / 5));
  }
  return found;
}

}  // namespace oxan::memory
