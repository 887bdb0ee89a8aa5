// Fitting a picture into a box with its aspect ratio kept, and centring it.
//
// FitSize scales small pictures up as well as large ones down: the result
// touches the box on at least one axis. A very elongated picture can give a
// side of 0, which CImage32::Resize turns into 1.
#pragma once

#include <cstdint>

namespace oxan {

struct FitRect {
  std::int32_t x;  // always 0
  std::int32_t y;  // always 0
  std::int32_t width;
  std::int32_t height;
};

// The largest boxWidth × boxHeight-bounded size with the picture's aspect.
// Aspects are taken in double precision (1.0 for a height of 0) and sides
// truncated toward zero; a side beyond the 32-bit range saturates.
void FitSize(std::int32_t boxWidth, std::int32_t boxHeight, std::int32_t pictureWidth,
             std::int32_t pictureHeight, FitRect& fit);

// Where a picture of `extent` pixels starts so that it is centred on a side
// of `side` pixels: side / 2 (side taken as unsigned) − extent / 2.
std::int32_t CentreOffset(std::int32_t side, std::int32_t extent);

}  // namespace oxan
