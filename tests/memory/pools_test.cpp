#include "memory/pools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "emulated_threads.h"
#include "memory/aligned_heap.h"
#include "memory/chunk.h"
#include "memory/poison.h"
#include "memory/size_classes.h"

namespace {

using oxan::memory::ChunkHeader;
using oxan::memory::ChunkOf;
using oxan::memory::kChunkSize;
using oxan::memory::kChunksPerRegion;
using oxan::memory::kClassSizes;
using oxan::memory::Pools;

constexpr std::size_t k16K = 0;
constexpr std::size_t k64K = 1;
constexpr std::uint64_t kBlocksOf16K = 127;

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

template <typename F>
void OnNewThread(F&& work) {
  std::thread(std::forward<F>(work)).join();
}

std::vector<void*> AllocateMany(Pools& pools, std::size_t classIndex, std::size_t count) {
  std::vector<void*> blocks;
  for (std::size_t i = 0; i < count; ++i) blocks.push_back(pools.Allocate(classIndex));
  return blocks;
}

TEST(Pools, AFreshChunkHandsOutItsBlocksInAscendingOrder) {
  struct Case {
    std::size_t classIndex;
    std::size_t blocks;
  };
  const Case cases[] = {{0, 127}, {1, 31}, {2, 15}};
  for (const Case& c : cases) {
    const std::uint64_t blockSize = kClassSizes[c.classIndex];
    SCOPED_TRACE(blockSize);
    Pools pools;
    const std::vector<void*> blocks = AllocateMany(pools, c.classIndex, c.blocks + 1);
    const std::uintptr_t chunk = Address(ChunkOf(blocks[0]));
    EXPECT_EQ(chunk % kChunkSize, 0u);
    for (std::size_t i = 0; i < c.blocks; ++i) {
      ASSERT_EQ(Address(blocks[i]), chunk + (i + 1) * blockSize) << "block " << i;
    }
    EXPECT_NE(Address(ChunkOf(blocks[c.blocks])), chunk);  // the next one needs a new chunk
    EXPECT_EQ(pools.RegionCount(), 1u);
    for (void* block : blocks) pools.Free(block);
  }
}

// A chunk writes only the blocks it hands out (fresh memory is not touched
// before it is used), and its untouched blocks still count as free.
TEST(Chunk, TouchesOnlyTheBlocksItHandsOut) {
  constexpr std::uint64_t kBlock = kClassSizes[k64K];
  void* memory = oxan::memory::AlignedAlloc(kChunkSize, kChunkSize);
  ASSERT_NE(memory, nullptr);
  std::memset(memory, 0xA5, kChunkSize);
  auto* chunk = new (memory) ChunkHeader();
  oxan::memory::FormatChunk(*chunk, kBlock);
  char* const base = static_cast<char*>(memory);
  void* first = oxan::memory::PopLocal(*chunk);
  void* second = oxan::memory::PopLocal(*chunk);
  EXPECT_EQ(first, base + kBlock);
  EXPECT_EQ(second, base + 2 * kBlock);
  VFK_UNPOISON(base + 3 * kBlock, kChunkSize - 3 * kBlock);
  EXPECT_TRUE(std::all_of(base + 3 * kBlock, base + kChunkSize,
                          [](char byte) { return byte == static_cast<char>(0xA5); }));
  EXPECT_FALSE(oxan::memory::IsCompletelyFree(*chunk));
  oxan::memory::PushLocal(*chunk, second);
  oxan::memory::PushLocal(*chunk, first);
  EXPECT_TRUE(oxan::memory::IsCompletelyFree(*chunk));
  VFK_UNPOISON(memory, kChunkSize);
  oxan::memory::AlignedFree(memory);
}

TEST(Pools, RemoteFreesWaitUntilTheLocalListIsEmpty) {
  Pools pools;
  std::vector<void*> blocks = AllocateMany(pools, k16K, kBlocksOf16K);
  void* const remoteA = blocks[10];
  void* const remoteB = blocks[20];
  void* const local = blocks[30];
  OnNewThread([&] {
    pools.Free(remoteA);
    pools.Free(remoteB);
  });
  pools.Free(local);

  EXPECT_EQ(pools.Allocate(k16K), local);
  // The local list is empty now: both remote frees arrive at once, newest first.
  EXPECT_EQ(pools.Allocate(k16K), remoteB);
  EXPECT_EQ(pools.Allocate(k16K), remoteA);
  EXPECT_NE(ChunkOf(pools.Allocate(k16K)), ChunkOf(local));
}

TEST(PoolsThreads, ThreadExitReturnsTheCurrentChunkToTheQueues) {
  vfktest::SkipWithoutThreads();
  Pools pools;
  // All eight chunks of the region: seven full, the eighth with one block used.
  std::vector<void*> taken;
  OnNewThread([&] { taken = AllocateMany(pools, k16K, 7 * kBlocksOf16K + 1); });
  const ChunkHeader* last = ChunkOf(taken.back());
  EXPECT_EQ(last->owner.load(), 0u);

  void* reused = nullptr;
  OnNewThread([&] { reused = pools.Allocate(k16K); });
  EXPECT_EQ(ChunkOf(reused), last);
  EXPECT_EQ(Address(reused), Address(taken.back()) + kClassSizes[k16K]);
  EXPECT_EQ(pools.RegionCount(), 1u);
}

// A chunk serves another block size only once every block in it is free.
TEST(PoolsThreads, OnlyAFullyFreeChunkIsReformattedForAnotherClass) {
  vfktest::SkipWithoutThreads();
  for (const bool keepOne : {false, true}) {
    SCOPED_TRACE(keepOne ? "one block kept" : "all freed");
    Pools pools;
    std::vector<void*> blocks;
    OnNewThread([&] {
      blocks = AllocateMany(pools, k16K, kChunksPerRegion * kBlocksOf16K);
      for (std::size_t i = keepOne ? 1 : 0; i < blocks.size(); ++i) {
        pools.Free(blocks[blocks.size() - 1 - i]);
      }
    });
    ChunkHeader* const lastChunk = ChunkOf(blocks.back());
    ChunkHeader* const firstChunk = ChunkOf(blocks.front());

    void* block = pools.Allocate(k64K);
    // Released last with every block free, the eighth chunk is found first;
    // with one block in use it keeps its class and the first chunk serves.
    ChunkHeader* const expected = keepOne ? firstChunk : lastChunk;
    EXPECT_EQ(ChunkOf(block), expected);
    EXPECT_EQ(Address(block), Address(expected) + kClassSizes[k64K]);
    EXPECT_EQ(expected->blockSize, kClassSizes[k64K]);
    if (keepOne) {
      EXPECT_EQ(lastChunk->blockSize, kClassSizes[k16K]);
    }
    EXPECT_EQ(pools.RegionCount(), 1u);
  }
}

TEST(Pools, TheNinthChunkOfARegionComesFromItsQueuesOrANewRegion) {
  for (const bool freeOne : {false, true}) {
    SCOPED_TRACE(freeOne ? "a block of chunk 2 freed" : "nothing freed");
    Pools pools;
    std::vector<void*> blocks = AllocateMany(pools, k16K, kChunksPerRegion * kBlocksOf16K);
    void* const freed = blocks[2 * kBlocksOf16K + 5];
    if (freeOne) {
      OnNewThread([&] { pools.Free(freed); });
    }

    void* ninth = pools.Allocate(k16K);
    if (freeOne) {
      EXPECT_EQ(ninth, freed);
      EXPECT_EQ(pools.RegionCount(), 1u);
    } else {
      EXPECT_EQ(pools.RegionCount(), 2u);
    }
  }
}

}  // namespace
