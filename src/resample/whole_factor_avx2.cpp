#include "resample/whole_factor_avx2.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "resample/lanes_avx2.h"
#include "resample/span.h"

namespace oxan {
namespace {

using lanes::kLanes;
using lanes::LoadPixels;
using lanes::Unsigned;

// Every span of a whole factor k, but the last: k + 1 source pixels from
// k × index, coverages 255, …, 255, 0. The first is at an end of the span,
// the last at an end with coverage 0, the others inside it.
enum class Place { kFirst, kInside, kLast };

constexpr Place PlaceOf(int i, int factor) {
  return i == 0 ? Place::kFirst : i == factor ? Place::kLast : Place::kInside;
}

// The weight of one pixel of the span, as AveragePixel gives it: a pixel
// with a last place in either direction weighs the minimum (its coverage
// product is 0); every other pixel weighs a whole pixel.
constexpr std::uint32_t WeightAt(Place column, Place row) {
  return column == Place::kLast || row == Place::kLast ? kMinimumWeight : kInteriorWeight;
}

// The alpha weight of a pixel of alpha `a` there: a pixel at an end rounds
// a × its weight through Div255 (a × 255 gives a back exactly); an inside
// pixel weighs a × 255 exactly.
template <Place kColumn, Place kRow>
[[gnu::target("avx2"), gnu::always_inline]] inline Unsigned AlphaWeight(Unsigned a) {
  if constexpr (WeightAt(kColumn, kRow) == kMinimumWeight) {
    return a;
  } else if constexpr (kColumn == Place::kFirst || kRow == Place::kFirst) {
    return lanes::Div255(a * kInteriorWeight);
  } else {
    return a * static_cast<std::uint32_t>(kFullCoverage);
  }
}

// The pixels of source column i of eight spans from one source row: lane l
// holds the pixel at kFactorX × l + i, for i = 0 … kFactorX.
template <int kFactorX>
struct SpanColumns {
  Unsigned column[static_cast<std::size_t>(kFactorX) + 1];
};

// Lanes 1 … 7 of `v` and then `next`: the column one span further on.
[[gnu::target("avx2"), gnu::always_inline]] inline Unsigned NextSpan(Unsigned v,
                                                                     std::uint32_t next) {
  return __builtin_shufflevector(v, Unsigned{} + next, 1, 2, 3, 4, 5, 6, 7, 8);
}

// Factors 2 and 4 split whole vectors of consecutive pixels with shuffles;
// factor 3 reads the pixels one by one.
template <int kFactorX>
[[gnu::target("avx2"), gnu::always_inline]] inline SpanColumns<kFactorX> ReadColumns(
    const std::uint32_t* row) {
  SpanColumns<kFactorX> out;
  if constexpr (kFactorX == 2) {
    const Unsigned a = LoadPixels(row), b = LoadPixels(row + 8);
    out.column[0] = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
    out.column[1] = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15);
  } else if constexpr (kFactorX == 4) {
    // Within each vector, pair the pixels of the same column (64-bit
    // elements), then transpose the 4 × 4 pairs.
    using Pairs = std::uint64_t __attribute__((vector_size(32)));
    Pairs pairs[4];
    for (int k = 0; k < 4; ++k) {
      const Unsigned v = LoadPixels(row + 8 * k);
      pairs[k] = (Pairs)__builtin_shufflevector(v, v, 0, 4, 1, 5, 2, 6, 3, 7);
    }
    const Pairs low01 = __builtin_shufflevector(pairs[0], pairs[1], 0, 4, 2, 6);
    const Pairs high01 = __builtin_shufflevector(pairs[0], pairs[1], 1, 5, 3, 7);
    const Pairs low23 = __builtin_shufflevector(pairs[2], pairs[3], 0, 4, 2, 6);
    const Pairs high23 = __builtin_shufflevector(pairs[2], pairs[3], 1, 5, 3, 7);
    out.column[0] = (Unsigned)__builtin_shufflevector(low01, low23, 0, 1, 4, 5);
    out.column[1] = (Unsigned)__builtin_shufflevector(high01, high23, 0, 1, 4, 5);
    out.column[2] = (Unsigned)__builtin_shufflevector(low01, low23, 2, 3, 6, 7);
    out.column[3] = (Unsigned)__builtin_shufflevector(high01, high23, 2, 3, 6, 7);
  } else {
    for (int i = 0; i < kFactorX; ++i) {
      const std::uint32_t* at = row + i;
      out.column[i] = Unsigned{at[0],
                               at[kFactorX],
                               at[2 * kFactorX],
                               at[3 * kFactorX],
                               at[4 * kFactorX],
                               at[5 * kFactorX],
                               at[6 * kFactorX],
                               at[7 * kFactorX]};
    }
  }
  out.column[kFactorX] = NextSpan(out.column[0], row[8 * kFactorX]);
  return out;
}

template <int kFactorX, Place kRow, int... kColumns>
[[gnu::target("avx2"), gnu::always_inline]] inline void AddRow(
    lanes::LaneSums& sums, const std::uint32_t* row, std::integer_sequence<int, kColumns...>) {
  const SpanColumns<kFactorX> pixels = ReadColumns<kFactorX>(row);
  (sums.Add(pixels.column[kColumns],
            AlphaWeight<PlaceOf(kColumns, kFactorX), kRow>(pixels.column[kColumns] >> 24)),
   ...);
}

template <int kFactorX>
[[gnu::target("avx2")]] void Run(CImage32& destination, const SourceRows& source, int factorY,
                                 WholeRegion region, RowRange range) {
  constexpr auto kColumns = std::make_integer_sequence<int, kFactorX + 1>{};
  const auto stride = static_cast<std::size_t>(source.width);
  const auto spanRows = static_cast<std::size_t>(factorY);
  // The weights of all (kFactorX + 1) × (factorY + 1) pixels: the products
  // with a last place weigh the minimum, the rest a whole pixel.
  const auto weight = static_cast<std::uint32_t>(kFactorX * factorY) * kInteriorWeight +
                      static_cast<std::uint32_t>(kFactorX + factorY + 1) * kMinimumWeight;
  for (std::int32_t j = range.begin; j < std::min(range.end, region.rows); ++j) {
    const std::uint32_t* top = source.Row(std::int64_t{j} * factorY);
    std::uint32_t* out = destination.RowPointer(j);
    for (std::int32_t d = 0; d < region.columns; d += kLanes) {
      lanes::LaneSums sums;
      sums.weight = Unsigned{} + weight;
      const std::uint32_t* row = top + static_cast<std::size_t>(d) * kFactorX;
      AddRow<kFactorX, Place::kFirst>(sums, row, kColumns);
      for (std::size_t r = 1; r < spanRows; ++r)
        AddRow<kFactorX, Place::kInside>(sums, row + r * stride, kColumns);
      AddRow<kFactorX, Place::kLast>(sums, row + spanRows * stride, kColumns);
      sums.Store(out + d);
    }
  }
}

// The whole factor of source / destination when it is 2, 3 or 4, else 0.
int WholeFactor(std::int32_t source, std::int32_t destination) {
  for (int factor = 2; factor <= 4; ++factor)
    if (source == destination * factor) return factor;
  return 0;
}

}  // namespace

WholeRegion AverageWholeSpans(CImage32& destination, const SourceRows& source, RowRange rows) {
  const int factorX = WholeFactor(source.width, destination.Width());
  const int factorY = WholeFactor(source.height, destination.Height());
  if (factorX == 0 || factorY == 0) return {};
  // Lane groups that stop before the last column, whose span is cut short
  // at the source's edge.
  const WholeRegion region{(destination.Width() - 1) / kLanes * kLanes, destination.Height() - 1};
  if (region.columns == 0 || region.rows == 0) return {};
  switch (factorX) {
    case 2:
      Run<2>(destination, source, factorY, region, rows);
      break;
    case 3:
      Run<3>(destination, source, factorY, region, rows);
      break;
    default:
      Run<4>(destination, source, factorY, region, rows);
      break;
  }
  return region;
}

}  // namespace oxan
