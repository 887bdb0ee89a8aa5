// The area average of one destination pixel, pixel by pixel over its span:
// the general form, exact for spans of any size (sums run in 32 bits over
// pieces of at most 256 pixels, and in 64 bits across them).
#pragma once

#include <cstdint>

#include "image/area_span.h"
#include "image/image32.h"

namespace oxan {

std::uint32_t AveragePixel(const CImage32& source, const Span& columns, const Span& rows);

}  // namespace oxan
