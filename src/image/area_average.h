// The area-average method of Resample, for sizes that are not whole
// multiples.
//
// Each destination pixel covers a span of source pixels; the span's ends get
// 8-bit fractional coverage, and colours are averaged weighted by alpha.
// Written for the compiler to vectorise: a row of the span is one pass over
// the source pixels the destination row touches, with no branch and no
// division inside. Scratch space lives on the stack (under 64 KiB).
#pragma once

#include "image/image32.h"

namespace oxan {

void AreaAverage(CImage32& destination, const CImage32& source);

}  // namespace oxan
