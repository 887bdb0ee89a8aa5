// The area average with AVX2 when no step is longer than four source pixels
// (every upscale, and downscales to at least a quarter of the size): each
// span then covers at most 5 × 5 source pixels, and each destination pixel
// is summed directly from them, eight pixels of a row at a time in 32-bit
// lanes. Downscales by a whole factor take AverageWholeSpans first.
// Same arithmetic as AveragePixel, bit for bit. Allocates nothing.
#pragma once

#include "image/image32.h"
#include "image/resample.h"

namespace oxan {

// False, writing nothing, when a step is longer than four source pixels or
// the path is not AVX2 (forced, or picked because the processor has it).
bool AverageSmallSpans(CImage32& destination, const CImage32& source, ResamplePath path);

}  // namespace oxan
