#include "image/heap_image_buffer32.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace oxan {
namespace {

constexpr std::uint64_t kBytesPerPixel = 4;

}  // namespace

void CHeapImageBuffer32::Free() {
  if (pixels_ && pixels_ != &inlinePixel_) {
    source_->free(pixels_, static_cast<std::uint64_t>(width_) *
                               static_cast<std::uint64_t>(height_) * kBytesPerPixel);
    pixels_ = nullptr;
    // No pixels, no size: a later Resize to the old size must allocate.
    width_ = 0;
    height_ = 0;
  }
}

bool CHeapImageBuffer32::FallBackToInlinePixel() noexcept {
  pixels_ = &inlinePixel_;
  width_ = 1;
  height_ = 1;
  return false;
}

bool CHeapImageBuffer32::Resize(std::int32_t width, std::int32_t height) {
  if (width == width_ && height == height_) return true;
  Free();
  const std::int32_t w = std::max(width, 1);
  const std::int32_t h = std::max(height, 1);
  const std::int64_t count = std::int64_t{w} * h;
  if (count > kMaxImagePixels) return FallBackToInlinePixel();
  if (pixels_ != &inlinePixel_ || count != 1) {
    void* block = nullptr;
    try {
      block = source_->alloc(static_cast<std::uint64_t>(count) * kBytesPerPixel);
    } catch (const std::bad_alloc&) {
      // Storage exhaustion is reported by the result, as for a null block.
    }
    if (!block) return FallBackToInlinePixel();
    pixels_ = static_cast<std::uint32_t*>(block);
  }
  width_ = w;
  height_ = h;
  return true;
}

const std::uint32_t* CHeapImageBuffer32::PixelAddress(std::int32_t, std::int32_t) const {
  throw std::runtime_error("Shuold never called");
}

std::uint32_t* CHeapImageBuffer32::PixelAddress(std::int32_t, std::int32_t) {
  throw std::runtime_error("Shuold never called");
}

}  // namespace oxan
