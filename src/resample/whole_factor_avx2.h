// The area average with AVX2 for downscales by a whole factor of 2, 3 or 4
// in each direction (the source exactly that multiple of the destination,
// as from a 1024 × 1024 stored thumbnail to 256 × 256). Every span but those
// of the last column and the last row then has the same shape: a first
// pixel wholly covered, the interior, and a last pixel of coverage 0 that
// still weighs the minimum. So every weight is a constant, and eight spans
// are read from consecutive source pixels with no index tables.
// Same arithmetic as AveragePixel, bit for bit. Allocates nothing.
#pragma once

#include <cstdint>

#include "image/image32.h"
#include "resample/source_rows.h"

namespace oxan {

// The region AverageWholeSpans wrote: the first `columns` destination
// columns (a multiple of eight) of every row but the last.
struct WholeRegion {
  std::int32_t columns = 0;
  std::int32_t rows = 0;
};

// Writes the part of the region within destination rows `rows` when the
// scale is such a downscale, and answers the region; an empty region
// (nothing written) otherwise. Needs AVX2.
WholeRegion AverageWholeSpans(CImage32& destination, const SourceRows& source, RowRange rows);

}  // namespace oxan
