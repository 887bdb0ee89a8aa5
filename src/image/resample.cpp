#include "image/resample.h"

#include <cstdint>
#include <cstring>

#include "image/area_average.h"
#include "image/resample_step.h"

namespace oxan {
namespace {

// Each destination pixel takes the source pixel under its centre. A row whose
// source row is the one before's is copied from the destination row above.
void Replicate(CImage32& destination, const CImage32& source) {
  const std::int32_t dw = destination.Width();
  const std::int32_t sw = source.Width();
  const std::int64_t stepX = ResampleStep(sw, dw);
  const std::int64_t stepY = ResampleStep(source.Height(), destination.Height());
  const std::uint32_t* previousIn = nullptr;
  const std::uint32_t* previousOut = nullptr;
  std::int64_t y = stepY / 2;
  for (std::int32_t i = 0; i < destination.Height(); ++i, y += stepY) {
    std::uint32_t* out = destination.RowPointer(i);
    const std::int64_t row = WholePart(y);
    const std::uint32_t* in =
        row < source.Height() ? source.RowPointer(static_cast<std::int32_t>(row)) : nullptr;
    if (in && in == previousIn) {
      std::memcpy(out, previousOut, static_cast<std::size_t>(dw) * sizeof(std::uint32_t));
    } else {
      std::int64_t x = stepX / 2;
      for (std::int32_t k = 0; k < dw; ++k, x += stepX) {
        const std::int64_t column = WholePart(x);
        out[k] = in && column < sw ? in[column] : 0;
      }
    }
    previousIn = in;
    previousOut = out;
  }
}

}  // namespace

bool Resample(CImage32& destination, const CImage32& source) {
  if (&destination == &source) return true;  // same size: the copy changes nothing
  if (destination.Width() % source.Width() == 0 && destination.Height() % source.Height() == 0)
    Replicate(destination, source);
  else
    AreaAverage(destination, source);
  return true;
}

}  // namespace oxan
