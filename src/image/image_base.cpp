#include "image/image_base.h"

#include <bit>
#include <cmath>

namespace oxan {

void CImageBase::SetGeometry(std::int32_t width, std::int32_t height, double bytesPerPixel) {
  width_ = width;
  height_ = height;
  rowBytes_ = static_cast<std::int32_t>(std::ceil(width * bytesPerPixel));
  powerOfTwo_ = std::popcount(static_cast<std::uint32_t>(width)) <= 1 &&
                std::popcount(static_cast<std::uint32_t>(height)) <= 1;
}

}  // namespace oxan
