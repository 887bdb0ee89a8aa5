// Scaling a picture to the size of an already sized destination.
//
// Resample picks one method for the whole image: pixel replication when the
// destination is a whole multiple of the source in both directions (equal
// sizes included), an alpha-weighted area average with 8-bit fractional edge
// coverage otherwise. Every destination pixel is written, the source is only
// read, and no memory is allocated; different image pairs may be resampled on
// different threads at once.
#pragma once

#include "image/image32.h"

namespace oxan {

// Which instructions the area average may use: the processor's best
// (kAuto), or one of them forced, for tests that hold each to the same
// result. kAvx2 needs a processor that has it (Avx2Available).
enum class ResamplePath { kAuto, kBaseline, kAvx2 };

bool Avx2Available();

// Always true. `destination` keeps its size.
bool Resample(CImage32& destination, const CImage32& source,
              ResamplePath path = ResamplePath::kAuto);

}  // namespace oxan
