// What the AVX2 forms of the area average share: eight destination pixels
// at a time in 32-bit lanes, their sums, and the average made from them as
// AverageOf makes it. Only for functions compiled for AVX2.
#pragma once

#include <cstdint>
#include <cstring>

#include "resample/span.h"

namespace oxan::lanes {

// Casts between these vector types keep the bits.
constexpr int kLanes = 8;
using Signed = std::int32_t __attribute__((vector_size(4 * kLanes)));
using Unsigned = std::uint32_t __attribute__((vector_size(4 * kLanes)));

[[gnu::target("avx2"), gnu::always_inline]] inline Signed Load(const std::int32_t* p) {
  Signed v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Eight consecutive pixels.
[[gnu::target("avx2"), gnu::always_inline]] inline Unsigned LoadPixels(const std::uint32_t* p) {
  Unsigned v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Div255 in every lane: the alpha weight of a pixel at an end of its span
// from alpha × weight.
[[gnu::target("avx2"), gnu::always_inline]] inline Unsigned Div255(Unsigned x) {
  x += 1;
  return (x + (x >> 8)) >> 8;
}

// Quotients below 256 by compare and subtract from the top bit down:
// exact when each numerator is below 256 × its divisor and below 2^31,
// and each divisor below 2^24 (the shifted divisor stays positive).
[[gnu::target("avx2"), gnu::always_inline]] inline Unsigned SmallQuotients(Unsigned numerator,
                                                                           Unsigned divisor) {
  Signed rest = (Signed)numerator;
  Signed shifted = (Signed)divisor << 7;
  Signed quotient = {};
  for (int bit = 7; bit >= 0; --bit) {
    const Signed fits = shifted <= rest;  // -1 where the shifted divisor fits
    rest -= shifted & fits;
    quotient = quotient + quotient - fits;
    shifted >>= 1;
  }
  return (Unsigned)quotient;
}

// The sums of eight spans. The caller keeps every sum below 2^31 and the
// weight below 2^24 (at most 25 pixels of a span, see small_spans_avx2.cpp).
struct LaneSums {
  Unsigned weight = {};
  Unsigned alphaWeight = {};
  Unsigned red = {};
  Unsigned green = {};
  Unsigned blue = {};
  Unsigned anyBits = {};
  Unsigned allBits = ~Unsigned{};

  // Pixels p with alpha weights j.
  [[gnu::target("avx2"), gnu::always_inline]] void Add(Unsigned p, Unsigned j) {
    anyBits |= p;
    allBits &= p;
    alphaWeight += j;
    red += (p >> 16 & 255) * j;
    green += (p >> 8 & 255) * j;
    blue += (p & 255) * j;
  }

  // As AverageOf: no alpha weight gives 0, equal alphas are kept exactly
  // (a span of one value then averages to itself without a rule of its
  // own: every quotient is exact).
  [[gnu::target("avx2"), gnu::always_inline]] void Store(std::uint32_t* out) const {
    const Unsigned alpha = ((anyBits ^ allBits) >> 24) == 0
                               ? allBits >> 24
                               : SmallQuotients(alphaWeight * kFullCoverage, weight);
    Unsigned average = alpha << 24 | SmallQuotients(red, alphaWeight) << 16 |
                       SmallQuotients(green, alphaWeight) << 8 | SmallQuotients(blue, alphaWeight);
    average = alphaWeight == 0 ? Unsigned{} : average;
    std::memcpy(out, &average, sizeof average);
  }
};

}  // namespace oxan::lanes
