#include "image/area_average.h"

#include <algorithm>
#include <cstdint>

#include "image/area_block.h"
#include "image/area_pixel.h"
#include "image/area_span.h"
#include "image/resample_step.h"

namespace oxan {

// Blocks of destination columns, each planned once and averaged row by row
// four source pixels at a time; a block row that form does not cover (very
// tall or very wide spans, sources under 4 pixels wide) goes pixel by pixel.
void AreaAverage(CImage32& destination, const CImage32& source) {
  const std::int64_t stepX = ResampleStep(source.Width(), destination.Width());
  const std::int64_t stepY = ResampleStep(source.Height(), destination.Height());
  const std::int32_t width = destination.Width();
  for (std::int32_t first = 0; first < width; first += AreaColumnBlock::kColumns) {
    const std::int32_t count = std::min(AreaColumnBlock::kColumns, width - first);
    AreaColumnBlock block(first, count, stepX, source.Width());
    for (std::int32_t j = 0; j < destination.Height(); ++j) {
      const Span rows = SpanOf(j, stepY, source.Height());
      std::uint32_t* out = destination.RowPointer(j) + first;
      if (block.Average(source, rows, out)) continue;
      for (std::int32_t i = 0; i < count; ++i)
        out[i] = AveragePixel(source, SpanOf(first + i, stepX, source.Width()), rows);
    }
  }
}

}  // namespace oxan
