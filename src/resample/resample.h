// Scaling a picture to the size of an already sized destination.
//
// Resample picks one method for the whole image: pixel replication when the
// destination is a whole multiple of the source in both directions (equal
// sizes included), an alpha-weighted area average with 8-bit fractional edge
// coverage otherwise. Every destination pixel is written, the source is only
// read, and no memory is allocated; different image pairs may be resampled on
// different threads at once.
//
// ResamplePlan is that choice made once for a pair of sizes, for a picture
// that arrives in bands of rows: it says which source rows each destination
// row reads, and resamples destination rows from a band that holds them,
// with the same result as Resample of the whole picture.
#pragma once

#include <cstdint>

#include "image/image32.h"
#include "resample/source_rows.h"

namespace oxan {

// Which instructions the area average may use: the processor's best
// (kAuto), or one of them forced, for tests that hold each to the same
// result. kAvx2 needs a processor that has it (Avx2Available).
enum class ResamplePath { kAuto, kBaseline, kAvx2 };

bool Avx2Available();

// Always true. `destination` keeps its size.
bool Resample(CImage32& destination, const CImage32& source,
              ResamplePath path = ResamplePath::kAuto);

// Source rows [first, last]; none when first > last.
struct SourceRowSpan {
  std::int64_t first;
  std::int64_t last;
};

class ResamplePlan {
 public:
  ResamplePlan(std::int32_t destinationWidth, std::int32_t destinationHeight,
               std::int32_t sourceWidth, std::int32_t sourceHeight,
               ResamplePath path = ResamplePath::kAuto);

  // Whether the method is the area average (else replication).
  bool Averages() const noexcept { return method_ != Method::kReplicate; }

  // The source rows destination row j reads; they only move down as j grows.
  SourceRowSpan RowsOf(std::int32_t j) const;

  // Destination rows `rows` of `destination` (of the plan's size) from
  // `source` (of the plan's source size), which holds every row they read.
  void Run(CImage32& destination, const SourceRows& source, RowRange rows) const;

 private:
  enum class Method { kReplicate, kSmallSpans, kAreaAverage };
  Method method_;
  std::int32_t sourceHeight_;
  std::int64_t stepY_;
};

}  // namespace oxan
