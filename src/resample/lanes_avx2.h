// What the AVX2 forms of the area average share: eight destination pixels
// at a time in 32-bit lanes, their sums, and the average made from them as
// AverageOf makes it. Only for functions compiled for AVX2.
#pragma once

#include <immintrin.h>

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

// The integer quotients of numerators below 2^31 and below 256 × their
// divisors, by divisors from 1 to 2^24 − 1, through double precision. Both
// convert exactly, and n / d rounded lies within 256 × 2^-53 of the true
// quotient; a quotient that is not an integer lies at least 1 / d > 2^-24
// below the next one, so truncating the rounded quotient gives the integer
// quotient exactly. A divisor of 0 divides by 1 instead: lanes without
// pixels are masked by the caller, and 0 / 0 would raise the invalid
// operation exception in a host that unmasks it.
[[gnu::target("avx2"), gnu::always_inline]] inline Unsigned SmallQuotients(Unsigned numerator,
                                                                           Unsigned divisor) {
  const auto n = (__m256i)numerator;
  const auto d = (__m256i)(divisor == 0 ? divisor + 1 : divisor);
  const __m128i low =
      _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(n)),
                                        _mm256_cvtepi32_pd(_mm256_castsi256_si128(d))));
  const __m128i high =
      _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(n, 1)),
                                        _mm256_cvtepi32_pd(_mm256_extracti128_si256(d, 1))));
  return (Unsigned)_mm256_set_m128i(high, low);
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
