// The 32-bit image every loader fills and the thumbnail pipeline consumes.
//
// Pixel (x, y) is word y × width + x of Pixels(): A << 24 | R << 16 |
// G << 8 | B, straight alpha, little-endian words (bytes B, G, R, A), rows
// top down without padding. An image is born 1 × 1 with pixel 0, costs no
// allocation while it stays 1 × 1, and after every Resize is either the size
// asked for (at least 1 × 1) or 1 × 1. One thread uses an image at a time;
// images are never copied.
#pragma once

#include <cstdint>
#include <memory>

#include "image/image_base.h"
#include "image/image_buffer32.h"
#include "memory/block_alloc.h"

namespace oxan {

inline constexpr double kBytesPerPixel32 = 4.0;

class CImage32 final : public CImageBase {
 public:
  CImage32();
  // Takes pixel memory from `source`, which must outlive the image.
  explicit CImage32(const BlockSource& source);
  ~CImage32() override;

  bool IsValid() const override { return true; }

  // Sizes the image to max(w, 1) × max(h, 1) with unspecified contents; the
  // same size as now keeps every pixel. False when storage could not be had:
  // the image is then 1 × 1.
  virtual bool Resize(std::int32_t width, std::int32_t height);

  // Exchanges size and pixels with `other`, copying nothing; each image
  // keeps working with the storage it takes over.
  void Swap(CImage32& other) noexcept;

  std::uint32_t* Pixels() noexcept { return pixels_; }
  const std::uint32_t* Pixels() const noexcept { return pixels_; }

  // Pixel (0, y), or null for a row outside the image.
  std::uint32_t* RowPointer(std::int32_t y) noexcept;
  const std::uint32_t* RowPointer(std::int32_t y) const noexcept;

  // Draws a checkerboard of 8 × 8 cells over min(w, width) × min(h, height)
  // pixels, colour A in the top-left cell. False, drawing nothing, when any
  // side is below 1.
  bool FillChecker(std::int32_t width, std::int32_t height, std::uint32_t colourA,
                   std::uint32_t colourB);

 private:
  void RefreshPixels() noexcept;

  std::unique_ptr<CImageBuffer32> buffer_;
  std::uint32_t* pixels_ = nullptr;  // the buffer's storage, never null once built
};

// The loaders' placeholder picture: 64 × 64, white and light grey cells.
inline constexpr std::int32_t kPlaceholderSide = 64;
inline constexpr std::uint32_t kPlaceholderColourA = 0xFFFFFFFF;
inline constexpr std::uint32_t kPlaceholderColourB = 0xFFE0E0E0;

}  // namespace oxan
