#include "image/area_pixel.h"

#include <algorithm>
#include <cstdint>

namespace oxan {
namespace {

// One destination pixel's sums over its span. Pixels are summed in 32 bits
// over runs of at most kRunLength pixels (each colour product is at most
// 255 × 65025) and the runs in 64 bits, so the pixel loops stay in registers.
class SpanSums {
 public:
  static constexpr std::int64_t kRunLength = 256;

  // Starts a row of `count` pixels, or of its first kRunLength pixels.
  void Reserve(std::int64_t count) {
    if (runPixels_ + count > kRunLength) Flush();
    runPixels_ += count;
  }

  // A pixel at an end of the span in either direction: the alpha weight is
  // rounded through Div255.
  void AddEnd(std::uint32_t p, std::uint32_t weight) { Add(p, Div255((p >> 24) * weight)); }

  // An interior pixel: the alpha weight is exactly alpha × 255.
  void AddInterior(std::uint32_t p) { Add(p, (p >> 24) * kFullCoverage); }

  void AddWeight(std::uint64_t weight) { weight_ += weight; }

  std::uint32_t Average() {
    Flush();
    return AverageOf(weight_, alphaWeight_, red_, green_, blue_, anyBits_, allBits_);
  }

 private:
  void Add(std::uint32_t p, std::uint32_t alphaWeight) {
    run_.alphaWeight += alphaWeight;
    run_.red += ((p >> 16) & 255) * alphaWeight;
    run_.green += ((p >> 8) & 255) * alphaWeight;
    run_.blue += (p & 255) * alphaWeight;
    anyBits_ |= p;
    allBits_ &= p;
  }

  void Flush() {
    alphaWeight_ += run_.alphaWeight;
    red_ += run_.red;
    green_ += run_.green;
    blue_ += run_.blue;
    run_ = Run{};
    runPixels_ = 0;
  }

  struct Run {
    std::uint32_t alphaWeight = 0;
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
  };
  Run run_;
  std::int64_t runPixels_ = 0;
  std::uint64_t weight_ = 0;
  std::uint64_t alphaWeight_ = 0;
  std::uint64_t red_ = 0;
  std::uint64_t green_ = 0;
  std::uint64_t blue_ = 0;
  std::uint32_t anyBits_ = 0;    // OR and AND of every pixel: the alphas were all
  std::uint32_t allBits_ = ~0u;  // equal when the two agree in the top byte
};

// Adds one source row of the span: its first and last column weigh their
// coverage products, the columns between weigh the row's coverage (at an end
// row) or the interior weight.
void AddRow(SpanSums& sums, const std::uint32_t* row, const Span& columns, bool rowAtEnd,
            std::int32_t rowCoverage) {
  const std::int64_t width = columns.last - columns.first + 1;
  const bool wide = width > SpanSums::kRunLength;  // then each piece makes its own room
  sums.Reserve(wide ? 1 : width);
  const std::uint32_t firstWeight = EndWeight(columns.firstCoverage, rowCoverage);
  sums.AddEnd(row[columns.first], firstWeight);
  sums.AddWeight(firstWeight);
  if (width == 1) return;
  const std::uint32_t insideWeight =
      rowAtEnd ? EndWeight(kFullCoverage, rowCoverage) : kInteriorWeight;
  sums.AddWeight(insideWeight * static_cast<std::uint64_t>(width - 2));
  for (std::int64_t m = columns.first + 1; m < columns.last;) {
    const std::int64_t pieceEnd = std::min(columns.last, m + SpanSums::kRunLength);
    if (wide) sums.Reserve(pieceEnd - m);
    if (rowAtEnd) {
      for (; m < pieceEnd; ++m) sums.AddEnd(row[m], insideWeight);
    } else {
      for (; m < pieceEnd; ++m) sums.AddInterior(row[m]);
    }
  }
  if (wide) sums.Reserve(1);
  const std::uint32_t lastWeight = EndWeight(columns.lastCoverage, rowCoverage);
  sums.AddEnd(row[columns.last], lastWeight);
  sums.AddWeight(lastWeight);
}

}  // namespace

std::uint32_t AveragePixel(const CImage32& source, const Span& columns, const Span& rows) {
  SpanSums sums;
  for (std::int64_t l = rows.first; l <= rows.last; ++l) {
    const std::int32_t v = l == rows.first  ? rows.firstCoverage
                           : l == rows.last ? rows.lastCoverage
                                            : kFullCoverage;
    AddRow(sums, source.RowPointer(static_cast<std::int32_t>(l)), columns,
           l == rows.first || l == rows.last, v);
  }
  return sums.Average();
}

}  // namespace oxan
