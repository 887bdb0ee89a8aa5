#include "resample/block_average.h"

#include <algorithm>
#include <cstdint>

#include "resample/column_block_sse2.h"
#include "resample/plain_average.h"
#include "resample/span.h"
#include "resample/step.h"

namespace oxan {

// Blocks of destination columns, each planned once and averaged row by row
// four source pixels at a time; a block row that form does not cover (very
// tall or very wide spans, sources under 4 pixels wide) goes pixel by pixel.
void AreaAverage(CImage32& destination, const SourceRows& source, RowRange range) {
  const std::int64_t stepX = ResampleStep(source.width, destination.Width());
  const std::int64_t stepY = ResampleStep(source.height, destination.Height());
  const std::int32_t width = destination.Width();
  for (std::int32_t first = 0; first < width; first += AreaColumnBlock::kColumns) {
    const std::int32_t count = std::min(AreaColumnBlock::kColumns, width - first);
    AreaColumnBlock block(first, count, stepX, source.width);
    for (std::int32_t j = range.begin; j < range.end; ++j) {
      const Span rows = SpanOf(j, stepY, source.height);
      std::uint32_t* out = destination.RowPointer(j) + first;
      if (block.Average(source, rows, out)) continue;
      for (std::int32_t i = 0; i < count; ++i)
        out[i] = AveragePixel(source, SpanOf(first + i, stepX, source.width), rows);
    }
  }
}

}  // namespace oxan
