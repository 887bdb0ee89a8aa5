#include "memory/block_alloc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "memory/chunk.h"
#include "memory/size_classes.h"

namespace {

using oxan::memory::ClassIndexOf;
using oxan::memory::kNoClass;
using oxan::memory::RoundUpToGranule;

std::size_t RouteOf(std::uint64_t size) {
  std::uint64_t rounded = 0;
  return RoundUpToGranule(size, rounded) ? ClassIndexOf(rounded) : kNoClass;
}

TEST(BlockAlloc, RoutesOnlyExactClassSizesAfterRoundingToThePools) {
  struct Case {
    std::uint64_t size;
    std::size_t route;
  };
  const Case cases[] = {
      {0, kNoClass},         {16384 - 8, kNoClass}, {16384 - 7, 0},     {16384, 0},
      {16384 + 1, kNoClass}, {65536 - 7, 1},        {65536, 1},         {65537, kNoClass},
      {131072 - 7, 2},       {131072, 2},           {131073, kNoClass}, {UINT64_MAX, kNoClass},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    EXPECT_EQ(RouteOf(c.size), c.route);
  }
}

TEST(BlockAlloc, PooledBlocksComeFromAChunkOfTheirClass) {
  const std::uint64_t sizes[] = {16384 - 7, 16384, 65536, 131072};
  for (std::uint64_t size : sizes) {
    SCOPED_TRACE(size);
    void* block = oxan::BlockAlloc(size);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xA5, static_cast<std::size_t>(size));
    std::uint64_t rounded = 0;
    ASSERT_TRUE(RoundUpToGranule(size, rounded));
    EXPECT_EQ(oxan::memory::ChunkOf(block)->blockSize, rounded);
    oxan::BlockFree(block, size);
  }
}

TEST(BlockAlloc, OtherSizesUseTheGeneralHeap) {
  for (std::uint64_t size : {std::uint64_t{0}, std::uint64_t{4}, std::uint64_t{16385}}) {
    SCOPED_TRACE(size);
    void* block = oxan::BlockAlloc(size);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x5A, static_cast<std::size_t>(size));
    oxan::BlockFree(block, size);  // a pool free of a heap block would crash here
  }
  oxan::BlockFree(nullptr, 100);  // ignored, as the heap ignores it
}

TEST(BlockFree, IgnoresANullBlockOfEverySize) {
  for (const std::uint64_t size : {std::uint64_t{0}, std::uint64_t{16384}, std::uint64_t{65536},
                                   std::uint64_t{131072}, std::uint64_t{131073}}) {
    SCOPED_TRACE(size);
    oxan::BlockFree(nullptr, size);
  }
}

TEST(BlockAlloc, RefusesSizesWhoseRoundingOverflows) {
  EXPECT_EQ(oxan::BlockAlloc(UINT64_MAX), nullptr);
  EXPECT_EQ(oxan::BlockAlloc(UINT64_MAX - 6), nullptr);
}

}  // namespace
