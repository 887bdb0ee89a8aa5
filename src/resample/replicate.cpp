#include "resample/replicate.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "resample/step.h"

namespace oxan {
namespace {

using PixelQuad = std::uint32_t __attribute__((vector_size(16)));

void FillRun(std::uint32_t* out, std::uint32_t value, std::int64_t length) {
  const PixelQuad quad = {value, value, value, value};
  for (; length >= 4; length -= 4, out += 4) std::memcpy(out, &quad, sizeof quad);
  for (; length > 0; --length) *out++ = value;
}

// Runs whose length is a multiple of 4, from four source pixels at a time:
// each pixel spread over a whole vector. Returns the pixels done.
std::int64_t FillQuadRuns(std::uint32_t* out, const std::uint32_t* pixel, std::int64_t count,
                          std::int64_t length) {
  std::int64_t done = 0;
  for (; done + 4 <= count; done += 4) {
    PixelQuad four;
    std::memcpy(&four, pixel + done, sizeof four);
    const PixelQuad spread[4] = {__builtin_shufflevector(four, four, 0, 0, 0, 0),
                                 __builtin_shufflevector(four, four, 1, 1, 1, 1),
                                 __builtin_shufflevector(four, four, 2, 2, 2, 2),
                                 __builtin_shufflevector(four, four, 3, 3, 3, 3)};
    for (const PixelQuad& quad : spread)
      for (std::int64_t k = 0; k < length; k += 4, out += 4) std::memcpy(out, &quad, sizeof quad);
  }
  return done;
}

// How one block of destination columns maps onto source columns: runs of
// consecutive destination columns that take the same source column. The
// mapping is the same for every row, so it is worked out once per block.
class ColumnBlock {
 public:
  static constexpr std::int32_t kColumns = 1024;

  // Destination columns [first, end), at most kColumns of them.
  ColumnBlock(std::int64_t first, std::int64_t end, std::int64_t stepX, std::int32_t sourceWidth) {
    std::int64_t x = stepX / 2 + first * stepX;
    for (std::int64_t k = first; k < end; ++k, x += stepX) {
      const std::int64_t column = WholePart(x);
      if (count_ > 0 && runs_[count_ - 1].column == column)
        ++runs_[count_ - 1].length;
      else
        runs_[count_++] = Run{column, 1};
    }
    // Columns only grow, so the runs inside the source come first.
    inside_ = count_;
    while (inside_ > 0 && runs_[inside_ - 1].column >= sourceWidth) --inside_;
    const Run& head = runs_[0];
    uniform_ = inside_ == count_ && std::all_of(runs_, runs_ + count_, [&](const Run& run) {
                 return run.length == head.length && run.column == head.column + (&run - runs_);
               });
  }

  // Writes the block's part of a destination row from a source row; 0 where
  // the source row is null or a column lies outside it.
  void FillRow(std::uint32_t* out, const std::uint32_t* in) const {
    std::int64_t r = 0;
    if (in && uniform_) {
      // Consecutive source pixels, each repeated the same number of times.
      const std::int64_t length = runs_[0].length;
      const std::uint32_t* pixel = in + runs_[0].column;
      if (length % 4 == 0) r = FillQuadRuns(out, pixel, count_, length);
      for (out += r * length; r < count_; out += length, ++r) FillRun(out, pixel[r], length);
      return;
    }
    if (in)
      for (; r < inside_; out += runs_[r].length, ++r)
        FillRun(out, in[runs_[r].column], runs_[r].length);
    for (; r < count_; out += runs_[r].length, ++r) FillRun(out, 0, runs_[r].length);
  }

 private:
  struct Run {
    std::int64_t column;
    std::int64_t length;
  };
  Run runs_[kColumns];
  std::int64_t count_ = 0;
  std::int64_t inside_ = 0;
  bool uniform_ = false;
};

}  // namespace

// Rows are filled block by block of columns; a row whose source row is the
// one above's copies its block from the row above.
void Replicate(CImage32& destination, const SourceRows& source, RowRange rows) {
  const std::int32_t dw = destination.Width();
  const std::int32_t sh = source.height;
  const std::int64_t stepX = ResampleStep(source.width, dw);
  const std::int64_t stepY = ResampleStep(sh, destination.Height());
  std::uint32_t* const pixels = destination.Pixels();
  const auto stride = static_cast<std::size_t>(dw);
  for (std::int64_t first = 0; first < dw; first += ColumnBlock::kColumns) {
    const std::int64_t end = std::min<std::int64_t>(dw, first + ColumnBlock::kColumns);
    const ColumnBlock block(first, end, stepX, source.width);
    const std::size_t segmentBytes = static_cast<std::size_t>(end - first) * sizeof(std::uint32_t);
    std::int64_t previousRow = -1;
    for (std::int32_t i = rows.begin; i < rows.end; ++i) {
      const std::int64_t row = SourceRow(i, stepY);
      std::uint32_t* out = pixels + static_cast<std::size_t>(i) * stride + first;
      if (row == previousRow)
        std::memcpy(out, out - stride, segmentBytes);
      else
        block.FillRow(out, row < sh ? source.Row(row) : nullptr);
      previousRow = row;
    }
  }
}

std::int64_t SourceRow(std::int32_t i, std::int64_t stepY) {
  return WholePart(stepY / 2 + i * stepY);
}

}  // namespace oxan
