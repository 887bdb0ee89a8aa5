// The arithmetic shared by both forms of the area average: which source
// pixels a destination column (or row) covers, their 8-bit coverage, and the
// weights that coverage gives.
#pragma once

#include <algorithm>
#include <cstdint>

#include "resample/step.h"

namespace oxan {

inline constexpr std::int32_t kFullCoverage = 255;
inline constexpr std::uint32_t kMinimumWeight = 255;
inline constexpr std::uint32_t kInteriorWeight = 255 * 255;

// The source pixels that one destination column (or row) covers, and the
// coverage of its first and last pixel in 1/255 of a pixel. The last pixel is
// lowered onto the image but keeps the fraction of the end position, so its
// coverage can be 0 or negative.
struct Span {
  std::int64_t first;
  std::int64_t last;
  std::int32_t firstCoverage;  // of the only pixel when first == last
  std::int32_t lastCoverage;
};

inline Span SpanOf(std::int64_t index, std::int64_t step, std::int32_t extent) {
  const std::int64_t start = index * step;
  const std::int64_t end = start + step;
  Span span{WholePart(start), std::min<std::int64_t>(WholePart(end), extent - 1),
            kFullCoverage - FractionalByte(start), FractionalByte(end)};
  if (span.first == span.last) span.firstCoverage += span.lastCoverage - kFullCoverage;
  return span;
}

// x / 255 as the weights define it: close to rounding, fits 32 bits for
// every x up to 255 × 65025.
inline std::uint32_t Div255(std::uint32_t x) { return ((x + 1) + ((x + 1) >> 8)) >> 8; }

// The weight of a pixel at an end of the span: its coverage product, never
// below the minimum weight.
inline std::uint32_t EndWeight(std::int32_t horizontal, std::int32_t vertical) {
  const std::int32_t product = horizontal * vertical;
  return product < static_cast<std::int32_t>(kMinimumWeight) ? kMinimumWeight
                                                             : static_cast<std::uint32_t>(product);
}

// The colour average of a span from its sums: colours divided by the alpha
// weight; the alpha exact when every pixel had the same alpha (the top bytes
// of the OR and the AND of all pixels agree), else the alpha weight over the
// weight. 0 when the alpha weight is 0 (every pixel transparent).
inline std::uint32_t AverageOf(std::uint64_t weight, std::uint64_t alphaWeight, std::uint64_t red,
                               std::uint64_t green, std::uint64_t blue, std::uint32_t anyBits,
                               std::uint32_t allBits) {
  // One pixel over the whole span (a one-pixel span, a flat area) averages
  // to itself: no division needed.
  if (anyBits == allBits) return alphaWeight == 0 ? 0 : allBits;
  if (alphaWeight == 0) return 0;
  const std::uint64_t alpha =
      ((anyBits ^ allBits) >> 24) == 0 ? allBits >> 24 : alphaWeight * kFullCoverage / weight;
  return static_cast<std::uint32_t>(alpha << 24 | (red / alphaWeight) << 16 |
                                    (green / alphaWeight) << 8 | blue / alphaWeight);
}

}  // namespace oxan
