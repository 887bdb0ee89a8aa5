#include "image/image32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

#include "image/heap_image_buffer32.h"

namespace {

using oxan::BlockSource;
using oxan::CImage32;

// A block source that records every request and can be told to refuse.
struct Recorder {
  enum class Refuse { kNever, kWithNull, kWithBadAlloc };
  static inline Refuse refuse = Refuse::kNever;
  static inline std::vector<std::uint64_t> allocated;
  static inline std::vector<std::uint64_t> freed;

  static void* Alloc(std::uint64_t size) {
    allocated.push_back(size);
    if (refuse == Refuse::kWithNull) return nullptr;
    if (refuse == Refuse::kWithBadAlloc) throw std::bad_alloc();
    return oxan::BlockAlloc(size);
  }
  static void Free(void* block, std::uint64_t size) noexcept {
    freed.push_back(size);
    oxan::BlockFree(block, size);
  }
  static void Reset(Refuse how = Refuse::kNever) {
    refuse = how;
    allocated.clear();
    freed.clear();
  }
};

constexpr BlockSource kRecorder{&Recorder::Alloc, &Recorder::Free};

class Image32 : public testing::Test {
 protected:
  void SetUp() override { Recorder::Reset(); }
};

TEST_F(Image32, IsBornOneByOneTransparentWithoutAllocating) {
  const CImage32 image(kRecorder);
  EXPECT_EQ(image.Width(), 1);
  EXPECT_EQ(image.Height(), 1);
  EXPECT_EQ(image.RowBytes(), 4);
  EXPECT_EQ(image.Pixels()[0], 0u);
  EXPECT_TRUE(Recorder::allocated.empty());
}

TEST_F(Image32, ClampsSizesBelowOneAndStaysOnTheInlinePixel) {
  const std::int32_t sizes[][2] = {{0, 0}, {-5, 1}, {1, -5}, {INT32_MIN, 0}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1]);
    CImage32 image(kRecorder);
    EXPECT_TRUE(image.Resize(size[0], size[1]));
    EXPECT_EQ(image.Width(), 1);
    EXPECT_EQ(image.Height(), 1);
  }
  EXPECT_TRUE(Recorder::allocated.empty());
}

TEST_F(Image32, ResizeToTheCurrentSizeKeepsEveryPixel) {
  CImage32 image(kRecorder);
  ASSERT_TRUE(image.Resize(3, 2));
  for (std::uint32_t i = 0; i < 6; ++i) image.Pixels()[i] = 0x01020300 + i;
  EXPECT_TRUE(image.Resize(3, 2));
  for (std::uint32_t i = 0; i < 6; ++i) EXPECT_EQ(image.Pixels()[i], 0x01020300 + i);
  EXPECT_EQ(Recorder::allocated, std::vector<std::uint64_t>{24});
}

TEST_F(Image32, OnceAllocatedAOnePixelImageTakesAFourByteBlock) {
  {
    CImage32 image(kRecorder);
    ASSERT_TRUE(image.Resize(256, 256));
    ASSERT_TRUE(image.Resize(1, 1));
    EXPECT_EQ(image.Width(), 1);
  }
  EXPECT_EQ(Recorder::allocated, (std::vector<std::uint64_t>{262144, 4}));
  EXPECT_EQ(Recorder::freed, Recorder::allocated);  // each block once, with its size
}

TEST_F(Image32, RefusedStorageLeavesAUsableOneByOneImage) {
  for (const auto how : {Recorder::Refuse::kWithNull, Recorder::Refuse::kWithBadAlloc}) {
    Recorder::Reset(how);
    CImage32 image(kRecorder);
    EXPECT_FALSE(image.Resize(300, 200));
    EXPECT_EQ(image.Width(), 1);
    EXPECT_EQ(image.Height(), 1);
    ASSERT_NE(image.RowPointer(0), nullptr);
    image.RowPointer(0)[0] = 0xFF00FF00;  // the inline pixel takes a write
    EXPECT_EQ(image.RowPointer(1), nullptr);
    EXPECT_TRUE(Recorder::freed.empty());
  }
}

// A byte count of width × height × 4 must fit a signed 32-bit value; beyond
// that the allocator is never asked, so a wrapped product cannot under-size
// the block.
TEST_F(Image32, RefusesPixelCountsWhoseByteCountExceeds31Bits) {
  struct Case {
    std::int32_t width, height;
    bool allocatorAsked;
  };
  const Case cases[] = {
      {536870911, 1, true},  // 2147483644 bytes: the largest accepted
      {1, 536870911, true},          {536870912, 1, false},  // 2^31 bytes
      {46341, 46341, false},                                 // 2147488281 pixels
      {65536, 65536, false},                                 // 2^32 pixels: 0 in 32 bits
      {INT32_MAX, INT32_MAX, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    Recorder::Reset(Recorder::Refuse::kWithNull);
    CImage32 image(kRecorder);
    EXPECT_FALSE(image.Resize(c.width, c.height));
    EXPECT_EQ(image.Width(), 1);
    EXPECT_EQ(image.Height(), 1);
    if (c.allocatorAsked) {
      EXPECT_EQ(Recorder::allocated,
                std::vector<std::uint64_t>{std::uint64_t{4} * static_cast<std::uint64_t>(c.width) *
                                           static_cast<std::uint64_t>(c.height)});
    } else {
      EXPECT_TRUE(Recorder::allocated.empty());
    }
  }
}

TEST_F(Image32, SwapExchangesSizesAndPixelsWithoutCopying) {
  CImage32 big(kRecorder);
  CImage32 small(kRecorder);
  ASSERT_TRUE(big.Resize(100, 50));
  big.Pixels()[4999] = 0xAABBCCDD;
  small.Pixels()[0] = 0x11223344;  // the inline pixel
  const std::uint32_t* bigPixels = big.Pixels();
  big.Swap(small);
  EXPECT_EQ(big.Width(), 1);
  EXPECT_EQ(big.Height(), 1);
  EXPECT_EQ(big.Pixels()[0], 0x11223344u);
  EXPECT_EQ(small.Width(), 100);
  EXPECT_EQ(small.RowBytes(), 400);
  EXPECT_EQ(small.Pixels(), bigPixels);
  EXPECT_EQ(small.RowPointer(49)[99], 0xAABBCCDDu);
  EXPECT_EQ(Recorder::allocated.size(), 1u);
  ASSERT_TRUE(big.Resize(2, 2));  // each keeps working with what it took over
  EXPECT_EQ(Recorder::allocated.size(), 2u);
}

TEST_F(Image32, ReportsRowBytesAndPowerOfTwoSides) {
  struct Case {
    std::int32_t width, height, rowBytes;
    bool powerOfTwo;
  };
  const Case cases[] = {
      {3, 5, 12, false},
      {64, 128, 256, true},
      {64, 96, 256, false},
      {1, 1, 4, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    CImage32 image;
    ASSERT_TRUE(image.Resize(c.width, c.height));
    EXPECT_EQ(image.RowBytes(), c.rowBytes);
    EXPECT_EQ(image.PowerOfTwo(), c.powerOfTwo);
  }
}

TEST_F(Image32, RowPointersStayInsideTheImage) {
  CImage32 image;
  ASSERT_TRUE(image.Resize(5, 3));
  EXPECT_EQ(image.RowPointer(0), image.Pixels());
  EXPECT_EQ(image.RowPointer(2), image.Pixels() + 10);
  EXPECT_EQ(image.RowPointer(3), nullptr);
  EXPECT_EQ(image.RowPointer(-1), nullptr);
}

TEST_F(Image32, DrawsThePlaceholderCheckerboard) {
  CImage32 image;
  ASSERT_TRUE(image.Resize(oxan::kPlaceholderSide, oxan::kPlaceholderSide));
  ASSERT_TRUE(image.FillChecker(64, 64, oxan::kPlaceholderColourA, oxan::kPlaceholderColourB));
  struct Case {
    std::int32_t x, y;
    std::uint32_t colour;
  };
  const Case cases[] = {
      {0, 0, 0xFFFFFFFF},  {8, 8, 0xFFFFFFFF}, {8, 0, 0xFFE0E0E0},  {0, 8, 0xFFE0E0E0},
      {16, 0, 0xFFFFFFFF}, {7, 7, 0xFFFFFFFF}, {63, 0, 0xFFE0E0E0}, {63, 63, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.x << ", " << c.y << ")");
    EXPECT_EQ(image.RowPointer(c.y)[c.x], c.colour);
  }
}

TEST_F(Image32, FillCheckerClipsToTheImageAndRefusesEmptyAreas) {
  CImage32 image;
  ASSERT_TRUE(image.Resize(64, 2));
  std::fill_n(image.Pixels(), 128, 0x12345678u);

  EXPECT_FALSE(image.FillChecker(0, 64, 1, 2));
  EXPECT_FALSE(image.FillChecker(64, -1, 1, 2));
  for (int i = 0; i < 128; ++i) ASSERT_EQ(image.Pixels()[i], 0x12345678u);

  EXPECT_TRUE(image.FillChecker(100, 1, 1, 2));
  EXPECT_EQ(image.RowPointer(0)[63], 2u);          // all 64 columns of row 0
  EXPECT_EQ(image.RowPointer(1)[0], 0x12345678u);  // row 1 untouched
}

TEST_F(Image32, HeapBufferAllocatesAgainAfterFree) {
  oxan::CHeapImageBuffer32 buffer(kRecorder);
  ASSERT_TRUE(buffer.Resize(8, 8));
  buffer.Free();
  EXPECT_EQ(buffer.Pixels(), nullptr);
  ASSERT_TRUE(buffer.Resize(8, 8));  // the same size as before the Free
  ASSERT_NE(buffer.Pixels(), nullptr);
  buffer.Pixels()[63] = 1;
  EXPECT_EQ(Recorder::allocated, (std::vector<std::uint64_t>{256, 256}));
}

TEST_F(Image32, HeapBufferRefusesPixelAddressLookups) {
  oxan::CHeapImageBuffer32 buffer;
  try {
    buffer.PixelAddress(0, 0);
    ADD_FAILURE() << "nothing thrown";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Shuold never called");
  }
  const oxan::CHeapImageBuffer32& constBuffer = buffer;
  EXPECT_THROW(constBuffer.PixelAddress(0, 0), std::runtime_error);
}

}  // namespace
