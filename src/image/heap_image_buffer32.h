// Image storage taken from a BlockSource (the block allocator unless a test
// supplies another). The buffer owns its block and gives it back with the
// byte count it was allocated with.
#pragma once

#include <cstdint>

#include "image/image_buffer32.h"
#include "memory/block_alloc.h"

namespace oxan {

// Largest pixel count whose byte count (× 4) fits a signed 32-bit value.
inline constexpr std::int64_t kMaxImagePixels = INT32_MAX / 4;

class CHeapImageBuffer32 final : public CImageBuffer32 {
 public:
  explicit CHeapImageBuffer32(const BlockSource& source = kBlockAllocator) noexcept
      : source_(&source) {}
  ~CHeapImageBuffer32() override { Free(); }

  void Free() override;
  // Also false, touching no allocator, when the pixel count exceeds
  // kMaxImagePixels.
  bool Resize(std::int32_t width, std::int32_t height) override;
  // Unsupported: image code works through Pixels(). Throws std::runtime_error.
  const std::uint32_t* PixelAddress(std::int32_t x, std::int32_t y) const override;
  std::uint32_t* PixelAddress(std::int32_t x, std::int32_t y) override;
  bool HasPixels() const override { return true; }
  const std::uint32_t* Pixels() const override { return pixels_; }
  std::uint32_t* Pixels() override { return pixels_; }
  void Lock() override {}
  void Unlock() override {}

 private:
  bool FallBackToInlinePixel() noexcept;

  const BlockSource* source_;
};

}  // namespace oxan
