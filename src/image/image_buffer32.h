// Storage of a 32-bit image: width × height pixels, or one pixel held
// inside the object. The inline pixel serves a buffer that has never held
// more than one pixel, and is the fallback after a failed allocation.
#pragma once

#include <cstdint>

namespace oxan {

class CImageBuffer32 {
 public:
  virtual ~CImageBuffer32() = default;
  CImageBuffer32(const CImageBuffer32&) = delete;
  CImageBuffer32& operator=(const CImageBuffer32&) = delete;

  // Gives the allocated block back; the inline pixel stays.
  virtual void Free() = 0;
  // Storage for max(w, 1) × max(h, 1) pixels with unspecified contents.
  // False when it cannot be had: the buffer is then 1 × 1 on the inline pixel.
  virtual bool Resize(std::int32_t width, std::int32_t height) = 0;
  virtual const std::uint32_t* PixelAddress(std::int32_t x, std::int32_t y) const = 0;
  virtual std::uint32_t* PixelAddress(std::int32_t x, std::int32_t y) = 0;
  virtual bool HasPixels() const = 0;
  virtual const std::uint32_t* Pixels() const = 0;
  virtual std::uint32_t* Pixels() = 0;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;

  std::int32_t Width() const noexcept { return width_; }
  std::int32_t Height() const noexcept { return height_; }

 protected:
  CImageBuffer32() = default;

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::uint32_t* pixels_ = &inlinePixel_;  // a block of width × height, or &inlinePixel_
  std::uint32_t inlinePixel_ = 0;          // never given to the allocator
};

}  // namespace oxan
