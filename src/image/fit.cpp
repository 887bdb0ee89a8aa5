#include "image/fit.h"

#include <cmath>
#include <limits>

namespace oxan {
namespace {

double Aspect(std::int32_t width, std::int32_t height) {
  return height == 0 ? 1.0 : static_cast<double>(width) / static_cast<double>(height);
}

// Truncates toward zero; NaN gives 0 and values outside int32 saturate, so
// no input makes the conversion undefined.
std::int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  if (value <= kMin) return std::numeric_limits<std::int32_t>::min();
  if (value >= kMax) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

// side / aspect as IEEE arithmetic gives it, without raising the
// division-by-zero or invalid exception for an aspect of 0 (a picture 0
// wide): an infinity of the side's sign, or NaN for a side of 0.
double SideOverAspect(double side, double aspect) {
  if (aspect != 0) return side / aspect;
  if (side == 0) return std::numeric_limits<double>::quiet_NaN();
  return side > 0 ? std::numeric_limits<double>::infinity()
                  : -std::numeric_limits<double>::infinity();
}

}  // namespace

void FitSize(std::int32_t boxWidth, std::int32_t boxHeight, std::int32_t pictureWidth,
             std::int32_t pictureHeight, FitRect& fit) {
  const double pictureAspect = Aspect(pictureWidth, pictureHeight);
  const double boxAspect = Aspect(boxWidth, boxHeight);
  fit.x = 0;
  fit.y = 0;
  if (boxAspect > pictureAspect) {
    fit.width = TruncateToInt32(boxHeight * pictureAspect);
    fit.height = boxHeight;
  } else {
    fit.width = boxWidth;
    fit.height = TruncateToInt32(SideOverAspect(boxWidth, pictureAspect));
  }
}

std::int32_t CentreOffset(std::int32_t side, std::int32_t extent) {
  const auto half = static_cast<std::int64_t>(static_cast<std::uint32_t>(side) >> 1);
  return static_cast<std::int32_t>(half - extent / 2);
}

}  // namespace oxan
