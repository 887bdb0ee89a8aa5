#include "resample/plain_average.h"

#include <algorithm>
#include <cstdint>

namespace oxan {

void SpanSums::Reserve(std::int64_t count) {
  if (runPixels_ + count > kRunLength) Flush();
  runPixels_ += count;
}

void SpanSums::Flush() {
  alphaWeight_ += run_.alphaWeight;
  red_ += run_.red;
  green_ += run_.green;
  blue_ += run_.blue;
  run_ = Run{};
  runPixels_ = 0;
}

std::uint32_t SpanSums::Average() {
  Flush();
  return AverageOf(weight_, alphaWeight_, red_, green_, blue_, anyBits_, allBits_);
}

// The span's first and last column weigh their coverage products, the
// columns between weigh the row's coverage (at an end row) or the interior
// weight.
void SpanSums::AddRowPiece(const std::uint32_t* piece, std::int64_t pieceFirst, const Span& columns,
                           std::int64_t from, std::int64_t to, bool rowAtEnd,
                           std::int32_t rowCoverage) {
  const auto at = [&](std::int64_t m) { return piece[m - pieceFirst]; };
  if (from == columns.first) {
    const std::uint32_t weight = EndWeight(columns.firstCoverage, rowCoverage);
    Reserve(1);
    AddEnd(at(from), weight);
    weight_ += weight;
    ++from;
  }
  const bool withLast = to == columns.last && columns.last > columns.first;
  const std::int64_t insideEnd = withLast ? to : to + 1;
  if (from < insideEnd) {
    const std::uint32_t insideWeight =
        rowAtEnd ? EndWeight(kFullCoverage, rowCoverage) : kInteriorWeight;
    weight_ += insideWeight * static_cast<std::uint64_t>(insideEnd - from);
    for (std::int64_t m = from; m < insideEnd;) {
      const std::int64_t runEnd = std::min(insideEnd, m + kRunLength);
      Reserve(runEnd - m);
      if (rowAtEnd) {
        for (; m < runEnd; ++m) AddEnd(at(m), insideWeight);
      } else {
        for (; m < runEnd; ++m) AddInterior(at(m));
      }
    }
  }
  if (withLast) {
    const std::uint32_t weight = EndWeight(columns.lastCoverage, rowCoverage);
    Reserve(1);
    AddEnd(at(to), weight);
    weight_ += weight;
  }
}

std::uint32_t AveragePixel(const SourceRows& source, const Span& columns, const Span& rows) {
  SpanSums sums;
  for (std::int64_t l = rows.first; l <= rows.last; ++l) {
    sums.AddRowPiece(source.Row(l), 0, columns, columns.first, columns.last,
                     l == rows.first || l == rows.last, RowCoverage(rows, l));
  }
  return sums.Average();
}

}  // namespace oxan
