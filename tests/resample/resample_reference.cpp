#include "resample_reference.h"

#include <cstdint>

namespace oxan::testing {
namespace {

using Pixel = std::uint32_t;

Pixel At(const CImage32& image, std::int64_t x, std::int64_t y) {
  if (x < 0 || y < 0 || x >= image.Width() || y >= image.Height()) return 0;
  return image.Pixels()[y * image.Width() + x];
}

std::uint64_t Div255(std::uint64_t x) { return ((x + 1) + ((x + 1) >> 8)) >> 8; }

void ReferenceReplicate(CImage32& dst, const CImage32& src, std::int64_t stepX,
                        std::int64_t stepY) {
  std::int64_t y = stepY / 2;
  for (std::int32_t i = 0; i < dst.Height(); ++i) {
    std::int64_t x = stepX / 2;
    for (std::int32_t k = 0; k < dst.Width(); ++k) {
      dst.Pixels()[std::int64_t{i} * dst.Width() + k] = At(src, x >> 16, y >> 16);
      x += stepX;
    }
    y += stepY;
  }
}

void ReferenceArea(CImage32& dst, const CImage32& src, std::int64_t stepX, std::int64_t stepY) {
  const std::int64_t sw = src.Width();
  const std::int64_t sh = src.Height();
  for (std::int64_t j = 0; j < dst.Height(); ++j) {
    for (std::int64_t k = 0; k < dst.Width(); ++k) {
      const std::int64_t x0 = k * stepX, x1 = x0 + stepX, y0 = j * stepY, y1 = y0 + stepY;
      const std::int64_t c0 = x0 >> 16, r0 = y0 >> 16;
      std::int64_t cl = x1 >> 16, rl = y1 >> 16;
      if (cl >= sw) cl = sw - 1;
      if (rl >= sh) rl = sh - 1;
      const std::int64_t fx0 = (x0 >> 8) & 255, fx1 = (x1 >> 8) & 255;
      const std::int64_t fy0 = (y0 >> 8) & 255, fy1 = (y1 >> 8) & 255;
      std::uint64_t weightSum = 0, alphaSum = 0, red = 0, green = 0, blue = 0;
      std::uint64_t firstAlpha = 0;
      bool sameAlpha = true;
      for (std::int64_t l = r0; l <= rl; ++l) {
        for (std::int64_t m = c0; m <= cl; ++m) {
          const Pixel p = At(src, m, l);
          const std::uint64_t a = p >> 24, r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
          std::int64_t h = 255, v = 255;
          if (m == c0) h = 255 - fx0;
          if (m == cl) h = h + fx1 - 255;
          if (l == r0) v = 255 - fy0;
          if (l == rl) v = v + fy1 - 255;
          std::uint64_t w, alphaWeight;
          if (m == c0 || m == cl || l == r0 || l == rl) {
            const std::int64_t product = h * v;
            w = product < 255 ? 255 : static_cast<std::uint64_t>(product);
            alphaWeight = Div255(a * w);
          } else {
            w = 65025;
            alphaWeight = a * 255;
          }
          weightSum += w;
          alphaSum += alphaWeight;
          red += r * alphaWeight;
          green += g * alphaWeight;
          blue += b * alphaWeight;
          if (l == r0 && m == c0)
            firstAlpha = a;
          else if (a != firstAlpha)
            sameAlpha = false;
        }
      }
      Pixel result = 0;
      if (alphaSum != 0) {
        const std::uint64_t alpha = sameAlpha ? firstAlpha : alphaSum * 255 / weightSum;
        result = static_cast<Pixel>(alpha << 24 | (red / alphaSum) << 16 | (green / alphaSum) << 8 |
                                    blue / alphaSum);
      }
      dst.Pixels()[j * dst.Width() + k] = result;
    }
  }
}

}  // namespace

void ReferenceResample(CImage32& destination, const CImage32& source) {
  const std::int64_t stepX = static_cast<std::int64_t>(static_cast<double>(source.Width()) /
                                                       destination.Width() * 65536.0);
  const std::int64_t stepY = static_cast<std::int64_t>(static_cast<double>(source.Height()) /
                                                       destination.Height() * 65536.0);
  if (destination.Width() % source.Width() == 0 && destination.Height() % source.Height() == 0)
    ReferenceReplicate(destination, source, stepX, stepY);
  else
    ReferenceArea(destination, source, stepX, stepY);
}

}  // namespace oxan::testing
