// Size classes and the geometry of regions and chunks.
//
// A request is pooled only when its size, rounded up to a multiple of 8,
// equals one of the three class sizes exactly. Regions are 16 MiB aligned on
// 16 MiB and split into eight 2 MiB chunks; a chunk formatted for block size B
// gives 2 MiB / B − 1 blocks, the first B bytes holding its header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace oxan::memory {

inline constexpr std::array<std::uint64_t, 3> kClassSizes = {0x4000, 0x10000, 0x20000};
inline constexpr std::size_t kClassCount = kClassSizes.size();
inline constexpr std::size_t kNoClass = kClassCount;

inline constexpr std::uint64_t kChunkSize = 0x200000;
inline constexpr std::uint64_t kRegionSize = 0x1000000;
inline constexpr std::size_t kChunksPerRegion = kRegionSize / kChunkSize;
inline constexpr unsigned kRescanMaximum = 10;
inline constexpr std::uint64_t kGranule = 8;

static_assert(kChunksPerRegion == 8);

// Rounds up to a multiple of 8. False when that overflows.
constexpr bool RoundUpToGranule(std::uint64_t size, std::uint64_t& rounded) {
  if (size > UINT64_MAX - (kGranule - 1)) return false;
  rounded = (size + kGranule - 1) & ~(kGranule - 1);
  return true;
}

// Index into kClassSizes of a rounded size, or kNoClass.
constexpr std::size_t ClassIndexOf(std::uint64_t rounded) {
  for (std::size_t i = 0; i < kClassCount; ++i) {
    if (kClassSizes[i] == rounded) return i;
  }
  return kNoClass;
}

constexpr std::uint64_t BlocksPerChunk(std::uint64_t blockSize) {
  return kChunkSize / blockSize - 1;
}

}  // namespace oxan::memory
