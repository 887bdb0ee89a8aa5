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

// Always true. `destination` keeps its size.
bool Resample(CImage32& destination, const CImage32& source);

}  // namespace oxan
