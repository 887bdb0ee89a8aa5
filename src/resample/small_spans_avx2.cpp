#include "resample/small_spans_avx2.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "resample/lanes_avx2.h"
#include "resample/span.h"
#include "resample/step.h"

namespace oxan {
namespace {

using lanes::kLanes;
using lanes::Load;
using lanes::Signed;
using lanes::Unsigned;

// A step of at most four source pixels gives spans of at most five.
constexpr std::int64_t kMaxStep = 4 * 65536;
constexpr std::int32_t kMaxSpan = 5;
constexpr std::int32_t kBlockColumns = 64;  // a multiple of the lane count

// Every sum of a span fits a signed 32-bit lane, and every divisor is small
// enough for SmallQuotients.
constexpr std::int64_t kMaxTerms = std::int64_t{kMaxSpan} * kMaxSpan;
static_assert(kMaxTerms * 255 * 65025 < (std::int64_t{1} << 31));
static_assert(kMaxTerms * 65025 < (std::int64_t{1} << 24));

// The source pixels that one destination column (or row) covers, each with
// its coverage (255 inside the span) and whether it lies at an end of it.
// Masks are -1 (true) or 0. A column absent from a span repeats the span's
// first column with a zero presence mask, so it can be read safely and
// leaves the OR and AND of the span's pixels as they are.
struct SpanPlan {
  std::int32_t index[kMaxSpan];
  std::int32_t coverage[kMaxSpan];
  std::int32_t atEnd[kMaxSpan];
  std::int32_t present[kMaxSpan];
  std::int32_t count;

  SpanPlan(std::int64_t at, std::int64_t step, std::int32_t extent) {
    const Span span = SpanOf(at, step, extent);
    count = static_cast<std::int32_t>(span.last - span.first + 1);
    for (std::int32_t i = 0; i < kMaxSpan; ++i) {
      const bool inSpan = i < count;
      const bool last = i == count - 1;
      index[i] = static_cast<std::int32_t>(span.first + (inSpan ? i : 0));
      coverage[i] = i == 0 ? span.firstCoverage : last ? span.lastCoverage : kFullCoverage;
      atEnd[i] = i == 0 || last || !inSpan ? -1 : 0;
      present[i] = inSpan ? -1 : 0;
    }
  }
};

// The spans of a block of destination columns, laid out per span position so
// that lanes load them side by side. Columns past the block's count repeat
// its last column. Where the eight lanes of a group read source columns
// that lie within 8 or 16 consecutive ones (steps up to about two pixels),
// `window` names the first of those and `windowVectors` how many vectors of
// eight hold them, so loads and permutations read them; else they are read
// one by one.
struct ColumnPlan {
  std::int32_t index[kMaxSpan][kBlockColumns];
  std::int32_t coverage[kMaxSpan][kBlockColumns];
  std::int32_t atEnd[kMaxSpan][kBlockColumns];
  std::int32_t present[kMaxSpan][kBlockColumns];
  std::int32_t window[kMaxSpan][kBlockColumns / kLanes];
  std::int32_t windowVectors[kMaxSpan][kBlockColumns / kLanes];
  std::int32_t spanColumns = 1;  // the widest span's column count

  ColumnPlan(std::int64_t first, std::int32_t count, std::int64_t step, std::int32_t extent) {
    for (std::int32_t d = 0; d < kBlockColumns; ++d) {
      const SpanPlan span(first + std::min(d, count - 1), step, extent);
      spanColumns = std::max(spanColumns, span.count);
      for (std::int32_t i = 0; i < kMaxSpan; ++i) {
        index[i][d] = span.index[i];
        coverage[i][d] = span.coverage[i];
        atEnd[i][d] = span.atEnd[i];
        present[i][d] = span.present[i];
      }
    }
    for (std::int32_t i = 0; i < kMaxSpan; ++i) {
      for (std::int32_t group = 0; group < kBlockColumns / kLanes; ++group) {
        const std::int32_t* lanes = index[i] + group * kLanes;
        const auto [low, high] = std::minmax_element(lanes, lanes + kLanes);
        const std::int32_t vectors = *high - *low < kLanes ? 1 : *high - *low < 2 * kLanes ? 2 : 0;
        const bool inside = *low + vectors * kLanes <= extent;
        window[i][group] = *low;
        windowVectors[i][group] = inside ? vectors : 0;
      }
    }
  }
};

// The pixels at[offset % 8] of each lane.
[[gnu::target("avx2"), gnu::always_inline]] inline Unsigned Permute(const std::uint32_t* at,
                                                                    Signed offsets) {
  return (Unsigned)_mm256_permutevar8x32_epi32((__m256i)lanes::LoadPixels(at), (__m256i)offsets);
}

// Destination pixels d … d + 7 of a block row. Without interior pixels
// (spans of at most two columns and two rows, as in every upscale) every
// pixel is at an end of its span, and the choices below fall away.
template <bool kInterior>
[[gnu::target("avx2"), gnu::always_inline]] inline void Average(
    const ColumnPlan& columns, std::int32_t d, const SpanPlan& rows, const std::uint32_t* pixels,
    std::size_t stride, std::uint32_t* out) {
  lanes::LaneSums sums;
  for (std::int32_t i = 0; i < columns.spanColumns; ++i) {
    const Signed index = Load(columns.index[i] + d);
    const Signed coverage = Load(columns.coverage[i] + d);
    const Signed columnAtEnd = Load(columns.atEnd[i] + d);
    const Signed present = Load(columns.present[i] + d);
    const std::int32_t window = columns.window[i][d / kLanes];
    const std::int32_t windowVectors = columns.windowVectors[i][d / kLanes];
    const Signed offsets = index - window;
    const Signed inSecond = offsets >= kLanes;
    for (std::int32_t r = 0; r < rows.count; ++r) {
      const std::uint32_t* row = pixels + static_cast<std::size_t>(rows.index[r]) * stride;
      Unsigned p;
      if (windowVectors > 0) {
        // vpermd reads the offsets' low three bits.
        p = Permute(row + window, offsets);
        if (windowVectors == 2) p = inSecond != 0 ? Permute(row + window + kLanes, offsets) : p;
      } else {
        // Lane by lane: on the processors measured, faster than vpgatherdd.
        for (int l = 0; l < kLanes; ++l) p[l] = row[index[l]];
      }
      const Unsigned alpha = p >> 24;
      // A pixel at an end of the span weighs its coverage product, at least
      // the minimum weight, and its alpha weight is rounded through Div255;
      // an interior pixel weighs a whole pixel and alpha × 255 exactly.
      const Signed product = coverage * rows.coverage[r];
      const Signed minimum = Signed{} + static_cast<std::int32_t>(kMinimumWeight);
      const Signed endWeight = product < minimum ? minimum : product;
      Unsigned w, j;
      if constexpr (kInterior) {
        const Signed atEnd = columnAtEnd | rows.atEnd[r];
        const Signed interior = Signed{} + static_cast<std::int32_t>(kInteriorWeight);
        w = (Unsigned)((atEnd != 0 ? endWeight : interior) & present);
        const Unsigned endAlphaWeight = lanes::Div255(alpha * w);
        const Unsigned interiorAlphaWeight = alpha * static_cast<std::uint32_t>(kFullCoverage);
        j = (atEnd != 0 ? endAlphaWeight : interiorAlphaWeight) & (Unsigned)present;
      } else {
        // An absent pixel's weight 0 gives it the alpha weight 0 as well.
        w = (Unsigned)(endWeight & present);
        j = lanes::Div255(alpha * w);
      }
      sums.weight += w;
      sums.Add(p, j);
    }
  }
  sums.Store(out);
}

// Destination pixels d … count - 1 of a block row.
template <bool kInterior>
[[gnu::target("avx2")]] void AverageRow(const ColumnPlan& columns, std::int32_t d,
                                        std::int32_t count, const SpanPlan& rows,
                                        const std::uint32_t* pixels, std::size_t stride,
                                        std::uint32_t* out) {
  for (; d + kLanes <= count; d += kLanes)
    Average<kInterior>(columns, d, rows, pixels, stride, out + d);
  if (d < count) {
    std::uint32_t tail[kLanes];
    Average<kInterior>(columns, d, rows, pixels, stride, tail);
    std::memcpy(out + d, tail, static_cast<std::size_t>(count - d) * sizeof tail[0]);
  }
}

// Every destination pixel of rows `range` outside `done`.
[[gnu::target("avx2")]] void Run(CImage32& destination, const SourceRows& source,
                                 std::int64_t stepX, std::int64_t stepY, RowRange range,
                                 WholeRegion done) {
  const std::int32_t width = destination.Width();
  // Rows are addressed by their index in the picture from this origin; only
  // those at hand are read.
  const std::uint32_t* pixels = source.pixels;
  const auto stride = static_cast<std::size_t>(source.width);
  for (std::int32_t first = 0; first < width; first += kBlockColumns) {
    const std::int32_t count = std::min(kBlockColumns, width - first);
    const ColumnPlan columns(first, count, stepX, source.width);
    for (std::int32_t j = range.begin; j < range.end; ++j) {
      SpanPlan rows(j, stepY, source.height);
      for (std::int32_t& index : rows.index) index -= source.firstRow;
      std::uint32_t* out = destination.RowPointer(j) + first;
      std::int32_t d = j < done.rows ? std::clamp(done.columns - first, 0, count) : 0;
      const bool interior = columns.spanColumns > 2 || rows.count > 2;
      (interior ? AverageRow<true> : AverageRow<false>)(columns, d, count, rows, pixels, stride,
                                                        out);
    }
  }
}

}  // namespace

bool SmallSpans(std::int64_t stepX, std::int64_t stepY) {
  return stepX <= kMaxStep && stepY <= kMaxStep;
}

void AverageSmallSpans(CImage32& destination, const SourceRows& source, RowRange rows,
                       WholeRegion done) {
  const std::int64_t stepX = ResampleStep(source.width, destination.Width());
  const std::int64_t stepY = ResampleStep(source.height, destination.Height());
  Run(destination, source, stepX, stepY, rows, done);
}

}  // namespace oxan
