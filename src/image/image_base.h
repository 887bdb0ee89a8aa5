// Geometry shared by the image classes: size, bytes per row and whether
// both sides are powers of two.
#pragma once

#include <cstdint>

namespace oxan {

class CImageBase {
 public:
  virtual ~CImageBase() = default;
  virtual bool IsValid() const = 0;

  std::int32_t Width() const noexcept { return width_; }
  std::int32_t Height() const noexcept { return height_; }
  std::int32_t RowBytes() const noexcept { return rowBytes_; }
  bool PowerOfTwo() const noexcept { return powerOfTwo_; }

 protected:
  CImageBase() = default;
  CImageBase(const CImageBase&) = delete;
  CImageBase& operator=(const CImageBase&) = delete;

  // Records the size; storage is the subclass's business. rowBytes is
  // width × bytesPerPixel rounded up, so the caller keeps that product
  // within 32 bits.
  void SetGeometry(std::int32_t width, std::int32_t height, double bytesPerPixel);

 private:
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t rowBytes_ = 0;
  bool powerOfTwo_ = false;  // at most one bit set in each side; 0 counts
};

}  // namespace oxan
