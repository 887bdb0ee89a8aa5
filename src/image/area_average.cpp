#include "image/area_average.h"

#include <algorithm>
#include <cstdint>

#include "image/resample_step.h"

namespace oxan {
namespace {

constexpr std::int32_t kFullCoverage = 255;
constexpr std::uint32_t kMinimumWeight = 255;
constexpr std::uint32_t kInteriorWeight = 255 * 255;

// The source pixels that one destination column (or row) covers, and the
// coverage of its first and last pixel in 1/255 of a pixel. The last pixel is
// lowered onto the image but keeps the fraction of the end position, so its
// coverage can be 0 or negative.
struct Span {
  std::int64_t first;
  std::int64_t last;
  std::int32_t firstCoverage;  // of the only pixel when first == last
  std::int32_t lastCoverage;
};

Span SpanOf(std::int64_t index, std::int64_t step, std::int32_t extent) {
  const std::int64_t start = index * step;
  const std::int64_t end = start + step;
  Span span{WholePart(start), std::min<std::int64_t>(WholePart(end), extent - 1),
            kFullCoverage - FractionalByte(start), FractionalByte(end)};
  if (span.first == span.last) span.firstCoverage += span.lastCoverage - kFullCoverage;
  return span;
}

// x / 255 as the weights define it: close to rounding, fits 32 bits for
// every x up to 255 × 65025.
inline std::uint32_t Div255(std::uint32_t x) { return ((x + 1) + ((x + 1) >> 8)) >> 8; }

// The weight of a pixel at an end of the span: its coverage product, never
// below the minimum weight.
inline std::uint32_t EndWeight(std::int32_t horizontal, std::int32_t vertical) {
  const std::int32_t product = horizontal * vertical;
  return product < static_cast<std::int32_t>(kMinimumWeight) ? kMinimumWeight
                                                             : static_cast<std::uint32_t>(product);
}

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

  // Colours divided by the alpha weight; the alpha exact when every alpha in
  // the span was the same, else the alpha weight over the weight.
  std::uint32_t Average() {
    Flush();
    if (alphaWeight_ == 0) return 0;
    const std::uint64_t alpha = ((anyBits_ ^ allBits_) >> 24) == 0
                                    ? allBits_ >> 24
                                    : alphaWeight_ * kFullCoverage / weight_;
    return static_cast<std::uint32_t>(alpha << 24 | (red_ / alphaWeight_) << 16 |
                                      (green_ / alphaWeight_) << 8 | blue_ / alphaWeight_);
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

}  // namespace

void AreaAverage(CImage32& destination, const CImage32& source) {
  const std::int64_t stepX = ResampleStep(source.Width(), destination.Width());
  const std::int64_t stepY = ResampleStep(source.Height(), destination.Height());
  for (std::int32_t j = 0; j < destination.Height(); ++j) {
    const Span rows = SpanOf(j, stepY, source.Height());
    std::uint32_t* out = destination.RowPointer(j);
    for (std::int32_t k = 0; k < destination.Width(); ++k)
      out[k] = AveragePixel(source, SpanOf(k, stepX, source.Width()), rows);
  }
}

}  // namespace oxan
