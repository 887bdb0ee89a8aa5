// A plain transcription of the resampling rules, pixel by pixel, to check the
// optimised Resample against. Positions are 64-bit; below 32768 source pixels
// they are the same as 32-bit positions.
#pragma once

#include "image/image32.h"

namespace oxan::testing {

void ReferenceResample(CImage32& destination, const CImage32& source);

}  // namespace oxan::testing
