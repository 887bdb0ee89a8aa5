// The area average with AVX2 when no step is longer than four source pixels
// (every upscale, and downscales to at least a quarter of the size): each
// span then covers at most 5 × 5 source pixels, and each destination pixel
// is summed directly from them, eight pixels of a row at a time in 32-bit
// lanes. Same arithmetic as AveragePixel, bit for bit. Allocates nothing.
#pragma once

#include "image/image32.h"
#include "resample/source_rows.h"
#include "resample/whole_factor_avx2.h"

namespace oxan {

// Whether this form takes the scale: no step longer than four source pixels.
bool SmallSpans(std::int64_t stepX, std::int64_t stepY);

// Destination rows `rows` but what `done` (AverageWholeSpans) wrote;
// `source` holds the source rows they cover. Needs AVX2 and SmallSpans.
void AverageSmallSpans(CImage32& destination, const SourceRows& source, RowRange rows,
                       WholeRegion done);

}  // namespace oxan
