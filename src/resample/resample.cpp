#include "resample/resample.h"

#include "resample/block_average.h"
#include "resample/replicate.h"
#include "resample/small_spans_avx2.h"
#include "resample/span.h"
#include "resample/step.h"
#include "resample/whole_factor_avx2.h"

namespace oxan {

bool Avx2Available() {
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return available;
}

bool Resample(CImage32& destination, const CImage32& source, ResamplePath path) {
  if (&destination == &source) return true;  // same size: the copy changes nothing
  ResamplePlan(destination.Width(), destination.Height(), source.Width(), source.Height(), path)
      .Run(destination, SourceRows::Whole(source), {0, destination.Height()});
  return true;
}

ResamplePlan::ResamplePlan(std::int32_t destinationWidth, std::int32_t destinationHeight,
                           std::int32_t sourceWidth, std::int32_t sourceHeight, ResamplePath path)
    : sourceHeight_(sourceHeight), stepY_(ResampleStep(sourceHeight, destinationHeight)) {
  const bool avx2 = path == ResamplePath::kAvx2 || (path == ResamplePath::kAuto && Avx2Available());
  if (destinationWidth % sourceWidth == 0 && destinationHeight % sourceHeight == 0)
    method_ = Method::kReplicate;
  else if (avx2 && SmallSpans(ResampleStep(sourceWidth, destinationWidth), stepY_))
    method_ = Method::kSmallSpans;
  else
    method_ = Method::kAreaAverage;
}

SourceRowSpan ResamplePlan::RowsOf(std::int32_t j) const {
  if (method_ != Method::kReplicate) {
    const Span rows = SpanOf(j, stepY_, sourceHeight_);
    return {rows.first, rows.last};
  }
  const std::int64_t row = SourceRow(j, stepY_);
  return row < sourceHeight_ ? SourceRowSpan{row, row} : SourceRowSpan{row, row - 1};
}

void ResamplePlan::Run(CImage32& destination, const SourceRows& source, RowRange rows) const {
  switch (method_) {
    case Method::kReplicate:
      Replicate(destination, source, rows);
      break;
    case Method::kSmallSpans:
      // Whole-factor downscales first; the small spans do what they leave.
      AverageSmallSpans(destination, source, rows, AverageWholeSpans(destination, source, rows));
      break;
    case Method::kAreaAverage:
      AreaAverage(destination, source, rows);
      break;
  }
}

}  // namespace oxan
