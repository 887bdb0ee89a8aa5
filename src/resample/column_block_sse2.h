// The area average of a block of destination columns in one destination
// row, four source pixels at a time (SSE2). Per destination row, every
// source column that lies inside some span is summed down the span's rows
// once (with its fixed interior or end-row weight), and the one or two end
// columns of each destination column are summed down the rows as gathered
// "slots" with their own coverage; each destination pixel then adds its
// interior columns and its slots. Same arithmetic as AveragePixel, bit for
// bit; sums stay exact in 32 bits because a span has at most 256 rows here.
#pragma once

#include <cstdint>

#include "resample/source_rows.h"
#include "resample/span.h"

namespace oxan {

// How a block of destination columns covers the source: worked out once,
// used for every destination row.
class AreaColumnBlock {
 public:
  static constexpr std::int32_t kColumns = 64;
  static constexpr std::int64_t kMaxInteriorColumns = 1024;
  static constexpr std::int64_t kMaxRows = 256;

  // Destination columns [first, first + count), count ≤ kColumns.
  AreaColumnBlock(std::int64_t first, std::int32_t count, std::int64_t stepX,
                  std::int32_t sourceWidth);

  // False, writing nothing, when this form does not cover the block: a
  // source narrower than 4 pixels, interior columns wider than
  // kMaxInteriorColumns, or a span taller than kMaxRows.
  bool Average(const SourceRows& source, const Span& rows, std::uint32_t* out);

 private:
  struct Slots;
  struct ColumnSums;

  std::int32_t count_;
  Span columns_[kColumns];
  // End columns: slot 2i is the first column of destination column i, slot
  // 2i + 1 its last (absent when the span has one column).
  std::int32_t slotColumn_[2 * kColumns];
  std::int32_t slotCoverage_[2 * kColumns];
  bool slotPresent_[2 * kColumns];
  std::int64_t interiorFirst_;
  std::int64_t interiorLast_;
  bool supported_;

  // The weight of every slot in a row of some coverage: 0 for absent slots
  // and for those that pad the last group of four. Rows of the same coverage
  // follow one another, so each is worked out again only when it changes.
  struct RowWeights {
    std::int32_t coverage;
    std::uint32_t slot[2 * kColumns];
  };
  const RowWeights& WeightsFor(RowWeights& weights, std::int32_t coverage) const;
  RowWeights firstRow_;
  RowWeights insideRow_;
  RowWeights lastRow_;
};

}  // namespace oxan
