// The area-average method of Resample, for sizes that are not whole
// multiples.
//
// Each destination pixel covers a span of source pixels; the span's ends get
// 8-bit fractional coverage, and colours are averaged weighted by alpha.
// Coverage is worked out once per block of destination columns and per
// destination row; interior pixels take a fixed weight. Allocates nothing
// (the working sums live on the stack, about 30 KiB).
#pragma once

#include "image/image32.h"
#include "resample/source_rows.h"

namespace oxan {

// Destination rows `rows`; `source` holds the source rows they cover.
void AreaAverage(CImage32& destination, const SourceRows& source, RowRange rows);

}  // namespace oxan
