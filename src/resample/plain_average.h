// The area average of one destination pixel, pixel by pixel over its span:
// the general form, exact for spans of any size, and the plain rule every
// other form reproduces bit for bit.
//
// SpanSums holds one destination pixel's sums; source rows are added one at
// a time, each whole or in pieces of consecutive columns, in any grouping:
// the sums are integers (32 bits over runs of at most 256 pixels, 64 bits
// across them), so they come out the same however the rows are cut.
#pragma once

#include <cstdint>

#include "resample/source_rows.h"
#include "resample/span.h"

namespace oxan {

class SpanSums {
 public:
  static constexpr std::int64_t kRunLength = 256;

  // Columns [from, to] of the span `columns` from one source row, whose
  // column m is piece[m - pieceFirst]. The row weighs `rowCoverage`, and
  // lies at an end of the destination pixel's rows when `rowAtEnd`.
  void AddRowPiece(const std::uint32_t* piece, std::int64_t pieceFirst, const Span& columns,
                   std::int64_t from, std::int64_t to, bool rowAtEnd, std::int32_t rowCoverage);

  std::uint32_t Average();

 private:
  // Makes room for `count` more pixels (at most kRunLength) in the 32-bit run.
  void Reserve(std::int64_t count);
  // A pixel at an end of the span in either direction: the alpha weight is
  // rounded through Div255.
  void AddEnd(std::uint32_t p, std::uint32_t weight) { Add(p, Div255((p >> 24) * weight)); }
  // An interior pixel: the alpha weight is exactly alpha × 255.
  void AddInterior(std::uint32_t p) { Add(p, (p >> 24) * kFullCoverage); }
  void Add(std::uint32_t p, std::uint32_t alphaWeight) {
    run_.alphaWeight += alphaWeight;
    run_.red += ((p >> 16) & 255) * alphaWeight;
    run_.green += ((p >> 8) & 255) * alphaWeight;
    run_.blue += (p & 255) * alphaWeight;
    anyBits_ |= p;
    allBits_ &= p;
  }
  void Flush();

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

// The coverage of source row l in the span `rows`.
inline std::int32_t RowCoverage(const Span& rows, std::int64_t l) {
  return l == rows.first ? rows.firstCoverage : l == rows.last ? rows.lastCoverage : kFullCoverage;
}

std::uint32_t AveragePixel(const SourceRows& source, const Span& columns, const Span& rows);

}  // namespace oxan
