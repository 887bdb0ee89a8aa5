// Fixed-point stepping shared by both resampling methods.
//
// A step is the extent of one destination pixel in source pixels, as a 16.16
// fixed-point number: trunc(source / destination × 65536), computed in double
// precision. Positions are index × step. They are kept in 64 bits: below
// 32768 source pixels they equal the 32-bit positions exactly, and above it
// they stay exact instead of wrapping.
#pragma once

#include <cstdint>

namespace oxan {

inline std::int64_t ResampleStep(std::int32_t sourceExtent, std::int32_t destinationExtent) {
  return static_cast<std::int64_t>(static_cast<double>(sourceExtent) / destinationExtent * 65536.0);
}

// The source pixel a 16.16 position falls in.
inline std::int64_t WholePart(std::int64_t position) { return position >> 16; }

// The position inside that pixel, in 1/256 steps.
inline std::int32_t FractionalByte(std::int64_t position) {
  return static_cast<std::int32_t>((position >> 8) & 255);
}

}  // namespace oxan
