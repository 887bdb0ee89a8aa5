#include "image/image32.h"

#include <algorithm>
#include <utility>

#include "image/heap_image_buffer32.h"

namespace oxan {
namespace {

constexpr std::int32_t kCheckerCell = 8;

}  // namespace

CImage32::CImage32() : CImage32(kBlockAllocator) {}

CImage32::CImage32(const BlockSource& source)
    : buffer_(std::make_unique<CHeapImageBuffer32>(source)) {
  buffer_->Resize(1, 1);  // stays on the inline pixel
  SetGeometry(1, 1, kBytesPerPixel32);
  RefreshPixels();
}

CImage32::~CImage32() = default;

void CImage32::RefreshPixels() noexcept {
  if (buffer_->HasPixels()) pixels_ = buffer_->Pixels();
}

bool CImage32::Resize(std::int32_t width, std::int32_t height) {
  if (width == Width() && height == Height()) return true;
  const std::int32_t w = std::max(width, 1);
  const std::int32_t h = std::max(height, 1);
  const bool resized = buffer_->Resize(w, h);
  if (resized) {
    SetGeometry(w, h, kBytesPerPixel32);
  } else {
    SetGeometry(1, 1, kBytesPerPixel32);
  }
  RefreshPixels();
  return resized;
}

void CImage32::Swap(CImage32& other) noexcept {
  std::swap(buffer_, other.buffer_);
  std::swap(pixels_, other.pixels_);
  const std::int32_t width = Width();
  const std::int32_t height = Height();
  SetGeometry(other.Width(), other.Height(), kBytesPerPixel32);
  other.SetGeometry(width, height, kBytesPerPixel32);
}

std::uint32_t* CImage32::RowPointer(std::int32_t y) noexcept {
  return const_cast<std::uint32_t*>(std::as_const(*this).RowPointer(y));
}

const std::uint32_t* CImage32::RowPointer(std::int32_t y) const noexcept {
  if (Width() == 0 || static_cast<std::uint32_t>(y) >= static_cast<std::uint32_t>(Height())) {
    return nullptr;
  }
  return pixels_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(Width());
}

bool CImage32::FillChecker(std::int32_t width, std::int32_t height, std::uint32_t colourA,
                           std::uint32_t colourB) {
  if (width < 1 || height < 1 || Width() < 1 || Height() < 1) return false;
  const std::int32_t cols = std::min(width, Width());
  const std::int32_t rows = std::min(height, Height());
  for (std::int32_t y = 0; y < rows; ++y) {
    std::uint32_t* row = RowPointer(y);
    const bool rowOdd = (y / kCheckerCell) % 2 != 0;
    for (std::int32_t x = 0; x < cols; ++x) {
      const bool colOdd = (x / kCheckerCell) % 2 != 0;
      row[x] = rowOdd != colOdd ? colourB : colourA;
    }
  }
  return true;
}

}  // namespace oxan
