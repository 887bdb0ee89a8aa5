// Pictures for loader tests, and what a loader left in an image.
#pragma once

#include <cstdint>
#include <vector>

#include "image/image32.h"

namespace looktest {

// width × height words with varied colours; every third pixel transparent,
// the others half-transparent.
inline std::vector<std::uint32_t> Picture(std::int32_t width, std::int32_t height) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(std::int64_t{width} * height));
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) | (i % 3 == 0 ? 0u : 0x80000000u);
  return pixels;
}

inline std::vector<std::uint32_t> PixelsOf(const oxan::CImage32& image) {
  return {image.Pixels(), image.Pixels() + std::int64_t{image.Width()} * image.Height()};
}

// Still the fresh 1 × 1 image with pixel 0.
inline bool IsUntouched(const oxan::CImage32& image) {
  return image.Width() == 1 && image.Height() == 1 && image.Pixels()[0] == 0;
}

// The 64 × 64 placeholder checkerboard.
inline bool IsPlaceholder(const oxan::CImage32& image) {
  return image.Width() == 64 && image.Height() == 64 && image.Pixels()[0] == 0xFFFFFFFF &&
         image.Pixels()[8] == 0xFFE0E0E0 && image.Pixels()[8 * 64 + 8] == 0xFFFFFFFF;
}

}  // namespace looktest
