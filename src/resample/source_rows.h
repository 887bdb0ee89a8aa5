// The rows of a picture as the resampling kernels read them. Spans and steps
// come from the whole picture's size; the rows at hand may be a band of it
// (the picture arriving row by row), [firstRow, firstRow + rowCount), one
// after another in memory. A kernel reads only the rows the destination rows
// it is asked for cover.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image32.h"

namespace oxan {

struct SourceRows {
  const std::uint32_t* pixels;  // row firstRow
  std::int32_t width;
  std::int32_t height;  // of the whole picture
  std::int32_t firstRow;
  std::int32_t rowCount;

  static SourceRows Whole(const CImage32& image) {
    return {image.Pixels(), image.Width(), image.Height(), 0, image.Height()};
  }

  // Row y of the picture, which must be at hand.
  const std::uint32_t* Row(std::int64_t y) const {
    return pixels + static_cast<std::size_t>(y - firstRow) * static_cast<std::size_t>(width);
  }
};

// Destination rows [begin, end).
struct RowRange {
  std::int32_t begin;
  std::int32_t end;
};

}  // namespace oxan
