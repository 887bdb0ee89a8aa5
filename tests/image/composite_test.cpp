#include "image/composite.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using oxan::CImage32;

constexpr std::uint32_t kCanvas = 0x11223344;

// Pixel (x, y) of a source holds y << 16 | x, with a varying alpha byte.
void FillNumbered(CImage32& image, std::int32_t width, std::int32_t height) {
  ASSERT_TRUE(image.Resize(width, height));
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      image.RowPointer(y)[x] = static_cast<std::uint32_t>((x % 256) << 24 | y << 12 | x);
    }
  }
}

void FillCanvas(CImage32& image, std::int32_t width, std::int32_t height) {
  ASSERT_TRUE(image.Resize(width, height));
  std::fill_n(image.Pixels(), width * height, kCanvas);
}

// The destination pixel expected after compositing the numbered source at
// (dx, dy), or kCanvas where nothing lands.
std::uint32_t Expected(const CImage32& src, std::int32_t dx, std::int32_t dy, std::int32_t x,
                       std::int32_t y) {
  const std::int32_t sx = x - dx;
  const std::int32_t sy = y - dy;
  if (sx < 0 || sy < 0 || sx >= src.Width() || sy >= src.Height()) return kCanvas;
  return src.RowPointer(sy)[sx];
}

TEST(Composite, CopiesAllChannelsIntoTheRowsItCovers) {
  CImage32 canvas, picture;
  FillCanvas(canvas, 256, 256);
  FillNumbered(picture, 256, 128);
  ASSERT_TRUE(oxan::Composite(canvas, oxan::BlendParams{}, 0, 64, picture, 256, 128));
  for (std::int32_t y = 0; y < 256; ++y) {
    for (std::int32_t x = 0; x < 256; ++x) {
      ASSERT_EQ(canvas.RowPointer(y)[x], Expected(picture, 0, 64, x, y)) << x << ", " << y;
    }
  }
}

TEST(Composite, ClipsOnEverySide) {
  struct Case {
    std::int32_t dx, dy;
  };
  // A 6 × 5 source onto a 10 × 8 destination, hanging over each edge and
  // corner, and wholly inside.
  const Case cases[] = {{-2, 1}, {7, 1}, {2, -3}, {2, 6}, {-4, -4}, {8, 7}, {-5, 6}, {2, 1}};
  CImage32 picture;
  FillNumbered(picture, 6, 5);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "at (" << c.dx << ", " << c.dy << ")");
    CImage32 canvas;
    FillCanvas(canvas, 10, 8);
    ASSERT_TRUE(oxan::Composite(canvas, oxan::BlendParams{}, c.dx, c.dy, picture, 6, 5));
    for (std::int32_t y = 0; y < 8; ++y) {
      for (std::int32_t x = 0; x < 10; ++x) {
        ASSERT_EQ(canvas.RowPointer(y)[x], Expected(picture, c.dx, c.dy, x, y)) << x << ", " << y;
      }
    }
  }
}

TEST(Composite, ANegativeXCopiesFromTheMatchingSourceColumn) {
  CImage32 canvas, picture;
  FillCanvas(canvas, 20, 2);
  FillNumbered(picture, 30, 2);
  ASSERT_TRUE(oxan::Composite(canvas, oxan::BlendParams{}, -10, 0, picture, 30, 2));
  EXPECT_EQ(canvas.RowPointer(0)[0], picture.RowPointer(0)[10]);
  EXPECT_EQ(canvas.RowPointer(1)[19], picture.RowPointer(1)[29]);
}

TEST(Composite, RefusesRegionsThatMissTheDestination) {
  struct Case {
    std::int32_t dx, dy, width, height;
  };
  const Case cases[] = {
      {20, 0, 5, 5}, {0, 10, 5, 5}, {-5, 0, 5, 5}, {0, -5, 5, 5},
      {0, 0, 0, 5},  {0, 0, 5, 0},  {0, 0, -3, 5}, {INT32_MIN + 1, 0, 5, 5},
  };
  CImage32 picture;
  FillNumbered(picture, 5, 5);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.dx << ", " << c.dy << ", " << c.width << " x " << c.height);
    CImage32 canvas;
    FillCanvas(canvas, 20, 10);
    EXPECT_FALSE(
        oxan::Composite(canvas, oxan::BlendParams{}, c.dx, c.dy, picture, c.width, c.height));
    for (std::int32_t i = 0; i < 200; ++i) ASSERT_EQ(canvas.Pixels()[i], kCanvas);
  }
}

}  // namespace
