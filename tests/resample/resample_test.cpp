#include "resample/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "resample/row_resampler.h"
#include "resample/step.h"
#include "resample_reference.h"

namespace {

using oxan::CImage32;
using Pixels = std::vector<std::uint32_t>;

constexpr std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}
constexpr std::uint32_t Red(std::uint32_t r) { return Argb(255, r, 0, 0); }

void Fill(CImage32& image, std::int32_t width, std::int32_t height, const Pixels& pixels) {
  ASSERT_TRUE(image.Resize(width, height));
  ASSERT_EQ(pixels.size(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  std::copy(pixels.begin(), pixels.end(), image.Pixels());
}

Pixels Contents(const CImage32& image) {
  return Pixels(image.Pixels(), image.Pixels() + std::int64_t{image.Width()} * image.Height());
}

// Random pixels: a quarter fully transparent, a quarter semi-transparent
// (with a few alphas repeated so equal-alpha spans occur), the rest opaque.
void FillRandom(CImage32& image, std::int32_t width, std::int32_t height, std::mt19937& random) {
  ASSERT_TRUE(image.Resize(width, height));
  for (std::int64_t i = 0; i < std::int64_t{width} * height; ++i) {
    const std::uint32_t colour = random() & 0xFFFFFF;
    const std::uint32_t kind = random() % 8;
    const std::uint32_t alpha = kind < 2 ? 0 : kind < 3 ? 128 : kind < 4 ? random() % 256 : 255;
    image.Pixels()[i] = alpha << 24 | colour;
  }
}

// Pixels from three values (transparent, half red, opaque green): spans of
// one value and spans of one alpha are common.
void FillFewValues(CImage32& image, std::int32_t width, std::int32_t height, std::mt19937& random) {
  constexpr std::uint32_t kValues[] = {0, 0x80FF0000, 0xFF00FF00};
  ASSERT_TRUE(image.Resize(width, height));
  for (std::int64_t i = 0; i < std::int64_t{width} * height; ++i)
    image.Pixels()[i] = kValues[random() % 3];
}

struct WorkedExample {
  const char* name;
  std::int32_t sourceWidth, sourceHeight;
  Pixels source;
  std::int32_t width, height;
  Pixels expected;
};

TEST(Resample, GivesTheWorkedExamples) {
  const WorkedExample examples[] = {
      {"2x2 replicated to 4x4",
       2,
       2,
       {1, 2, 3, 4},
       4,
       4,
       {1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}},
      {"transparent neighbour halves only the alpha",
       2,
       1,
       {Argb(255, 255, 0, 0), 0},
       1,
       1,
       {Argb(127, 255, 0, 0)}},
      {"one-row result: every pixel at minimum weight",
       4,
       1,
       {Red(0), Red(100), Red(200), Red(40)},
       2,
       1,
       {Red(100), Red(120)}},
      {"two rows to one",
       4,
       2,
       {Red(0), Red(100), Red(200), Red(40), Red(0), Red(100), Red(200), Red(40)},
       2,
       1,
       {Red(50), Red(198)}},
      {"3x3 to 2x2",
       3,
       3,
       {Red(0), Red(30), Red(60), Red(90), Red(120), Red(150), Red(180), Red(210), Red(240)},
       2,
       2,
       {Red(40), Red(60), Red(101), Red(123)}},
      {"3x1 colours",
       3,
       1,
       {Argb(255, 16, 32, 48), Argb(255, 64, 80, 96), Argb(255, 112, 128, 144)},
       2,
       1,
       {Argb(255, 40, 56, 72), Argb(255, 88, 104, 120)}},
      {"equal alphas kept exactly",
       3,
       1,
       {Argb(128, 255, 0, 0), Argb(128, 255, 0, 0), Argb(64, 0, 0, 255)},
       2,
       1,
       {Argb(128, 255, 0, 0), Argb(96, 170, 0, 85)}},
  };
  for (const WorkedExample& e : examples) {
    CImage32 source, destination;
    Fill(source, e.sourceWidth, e.sourceHeight, e.source);
    ASSERT_TRUE(destination.Resize(e.width, e.height));
    EXPECT_TRUE(oxan::Resample(destination, source));
    EXPECT_EQ(Contents(destination), e.expected) << e.name;
  }
}

TEST(Resample, EqualSizesCopyEveryPixel) {
  std::mt19937 random(7);
  CImage32 source, destination;
  FillRandom(source, 37, 23, random);
  ASSERT_TRUE(destination.Resize(37, 23));
  EXPECT_TRUE(oxan::Resample(destination, source));
  EXPECT_EQ(Contents(destination), Contents(source));
  EXPECT_TRUE(oxan::Resample(source, source));
  EXPECT_EQ(Contents(destination), Contents(source));
}

TEST(Resample, StepsAreTruncatedFixedPoint) {
  EXPECT_EQ(oxan::ResampleStep(3, 2), 98304);
  EXPECT_EQ(oxan::ResampleStep(100, 256), 25600);
  EXPECT_EQ(oxan::ResampleStep(300, 256), 76800);
  EXPECT_EQ(oxan::ResampleStep(200, 170), 77101);
}

// 100 × 100 to 256 × 256 is not a whole multiple: the area method runs, and
// the last column and row take source column and row 99 at the minimum weight.
TEST(Resample, UpscaledLastColumnAndRowKeepTheirSourceColours) {
  CImage32 source, destination;
  ASSERT_TRUE(source.Resize(100, 100));
  for (std::int32_t y = 0; y < 100; ++y)
    for (std::int32_t x = 0; x < 100; ++x)
      source.RowPointer(y)[x] =
          Argb(255, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 7);
  ASSERT_TRUE(destination.Resize(256, 256));
  oxan::Resample(destination, source);
  for (std::int32_t i = 0; i < 256; ++i) {
    const std::uint32_t lastColumn = destination.RowPointer(i)[255];
    const std::uint32_t lastRow = destination.RowPointer(255)[i];
    EXPECT_EQ(lastColumn >> 24, 255u) << i;
    EXPECT_EQ((lastColumn >> 16) & 255, 99u) << i;
    EXPECT_EQ(lastRow >> 24, 255u) << i;
    EXPECT_EQ((lastRow >> 8) & 255, 99u) << i;
  }
}

// The paths Resample can take on this processor, each forced in turn.
std::vector<oxan::ResamplePath> Paths() {
  std::vector<oxan::ResamplePath> paths = {oxan::ResamplePath::kBaseline};
  if (oxan::Avx2Available()) paths.push_back(oxan::ResamplePath::kAvx2);
  return paths;
}

// The picture fed to a RowResampler in chunks of varied sizes (a byte, a
// part of a pixel, a pixel, pages, all the room offered).
Pixels Streamed(const CImage32& source, std::int32_t width, std::int32_t height,
                oxan::ResamplePath path, oxan::RowMemory memory) {
  constexpr std::size_t kChunks[] = {1, 7, 4, 4093, std::numeric_limits<std::size_t>::max()};
  CImage32 destination;
  EXPECT_TRUE(destination.Resize(width, height));
  std::fill_n(destination.Pixels(), std::int64_t{width} * height, 0xDEADBEEF);
  oxan::RowResampler resampler(destination, source.Width(), source.Height(), path, memory);
  EXPECT_TRUE(resampler.Ready());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.Pixels());
  const std::size_t total =
      static_cast<std::size_t>(source.Width()) * static_cast<std::size_t>(source.Height()) * 4;
  std::size_t at = 0;
  for (std::size_t turn = 0;; ++turn) {
    const std::span<std::uint8_t> room = resampler.Room();
    if (room.empty() || at == total) break;
    const std::size_t n = std::min({room.size(), kChunks[turn % std::size(kChunks)], total - at});
    std::memcpy(room.data(), bytes + at, n);
    at += n;
    resampler.Filled(n);
  }
  EXPECT_EQ(at, total);
  EXPECT_TRUE(resampler.Complete());
  return Contents(destination);
}

// The ways a streamed picture can be held: whole (as the pictures here
// usually are), the smallest band that holds one destination row's rows
// (its end at every destination row), and per-pixel sums fed by pieces of
// three pixels (the plain rule's form, when the method averages).
std::vector<oxan::RowMemory> Memories(const CImage32& source, std::int32_t width,
                                      std::int32_t height, oxan::ResamplePath path) {
  const oxan::ResamplePlan plan(width, height, source.Width(), source.Height(), path);
  std::int64_t most = 0;
  for (std::int32_t j = 0; j < height; ++j)
    most = std::max(most, plan.RowsOf(j).last - plan.RowsOf(j).first + 1);
  const std::size_t rowBytes = static_cast<std::size_t>(source.Width()) * 4;
  constexpr std::size_t kAny = std::numeric_limits<std::size_t>::max();
  return {oxan::RowMemory{},
          oxan::RowMemory{0, static_cast<std::size_t>(most) * rowBytes, kAny, 12},
          oxan::RowMemory{0, 0, 0, 12}};
}

void ExpectPixels(const Pixels& got, const Pixels& want, const CImage32& source, std::int32_t width,
                  std::int32_t height, const char* how, oxan::ResamplePath path) {
  for (std::size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i], want[i]) << how << ' ' << source.Width() << "x" << source.Height() << " -> "
                               << width << "x" << height << " at ("
                               << i % static_cast<std::size_t>(width) << ", "
                               << i / static_cast<std::size_t>(width) << "), path "
                               << static_cast<int>(path);
  }
}

// Resample on every path, and the same picture streamed on every path and
// in every way of holding it, against the plain rule.
void ExpectSameAsReference(const CImage32& source, std::int32_t width, std::int32_t height) {
  CImage32 reference;
  ASSERT_TRUE(reference.Resize(width, height));
  oxan::testing::ReferenceResample(reference, source);
  const Pixels want = Contents(reference);
  for (const oxan::ResamplePath path : Paths()) {
    CImage32 fast;
    ASSERT_TRUE(fast.Resize(width, height));
    std::fill_n(fast.Pixels(), std::int64_t{width} * height, 0xDEADBEEF);
    oxan::Resample(fast, source, path);
    ExpectPixels(Contents(fast), want, source, width, height, "whole", path);
    for (const oxan::RowMemory& memory : Memories(source, width, height, path)) {
      SCOPED_TRACE(testing::Message()
                   << "band " << memory.bandBytes << ", piece " << memory.pieceBytes);
      ExpectPixels(Streamed(source, width, height, path, memory), want, source, width, height,
                   "streamed", path);
    }
  }
}

TEST(Resample, MatchesThePlainRuleForRandomSizes) {
  std::mt19937 random(20261210);
  std::uniform_int_distribution<std::int32_t> side(1, 300);
  for (int n = 0; n < 400; ++n) {
    CImage32 source;
    (n % 4 == 0 ? FillFewValues : FillRandom)(source, side(random), side(random), random);
    ExpectSameAsReference(source, side(random), side(random));
  }
}

TEST(Resample, MatchesThePlainRuleForChosenSizes) {
  const std::int32_t sizes[][4] = {
      // Tiny sides, near-equal sizes, up in one direction and down in the
      // other, more than 256 destination columns, the thumbnailer's sizes.
      {1, 1, 3, 5},
      {1, 7, 1, 3},
      {2, 3, 3, 2},
      {255, 1, 256, 1},
      {257, 3, 256, 2},
      {300, 200, 256, 170},
      {100, 100, 256, 256},
      {1000, 1, 256, 1},
      {5, 9, 299, 2},
      {300, 2, 299, 1},
      {64, 48, 256, 192},
      {299, 300, 300, 299},
      // Steps of exactly four source pixels and just above, in either
      // direction; rows not a whole number of lane groups wide.
      {1024, 8, 256, 2},
      {8, 1024, 2, 256},
      {401, 3, 100, 1},
      {3, 401, 1, 100},
      {43, 11, 13, 5},
      // Replication: run lengths of 2, 3 (uneven under truncated steps), 4
      // and 8 with a source width that is not a multiple of 4, and
      // destination rows wider than one block of columns.
      {3, 3, 9, 6},
      {7, 5, 56, 15},
      {13, 2, 104, 4},
      {5, 3, 1500, 3},
      {1, 1, 1100, 2},
      {1023, 1, 2046, 2},
      // Beyond 32768 source pixels positions need more than 32 bits; spans
      // wider than 256 columns or taller than 256 rows overflow 32-bit sums.
      {40000, 2, 7, 1},
      {2, 40000, 1, 7},
      {70000, 1, 3, 1},
      {5, 700, 3, 2},
      {3000, 3, 2, 2},
      {40000, 1, 80000, 1}};
  std::mt19937 random(11);
  for (const auto& s : sizes) {
    CImage32 source;
    FillRandom(source, s[0], s[1], random);
    ExpectSameAsReference(source, s[2], s[3]);
  }
}

// Downscales by whole factors of 2, 3 and 4 in either direction: whole
// lane groups of spans of one shape, then the last column's and row's spans
// cut at the source's edge; too narrow for a whole lane group; the stored
// thumbnail's 1024 x 1024 to 256 x 256.
TEST(Resample, MatchesThePlainRuleForWholeFactorDownscales) {
  std::mt19937 random(4);
  for (std::int32_t factorX = 2; factorX <= 4; ++factorX) {
    for (std::int32_t factorY = 2; factorY <= 4; ++factorY) {
      for (const auto& [width, height] : {std::pair{19, 7}, std::pair{9, 2}, std::pair{8, 3}}) {
        for (const auto fill : {FillRandom, FillFewValues}) {
          CImage32 source;
          fill(source, width * factorX, height * factorY, random);
          ExpectSameAsReference(source, width, height);
        }
      }
    }
  }
  CImage32 stored;
  FillRandom(stored, 1024, 1024, random);
  ExpectSameAsReference(stored, 256, 256);
}

TEST(Resample, LargeSourceHalvesStayApart) {
  CImage32 source, destination;
  ASSERT_TRUE(source.Resize(40000, 1));
  for (std::int32_t x = 0; x < 40000; ++x)
    source.Pixels()[x] = x < 20000 ? Argb(255, 255, 0, 0) : Argb(255, 0, 0, 255);
  ASSERT_TRUE(destination.Resize(7, 1));
  oxan::Resample(destination, source);
  for (std::int32_t k = 0; k < 3; ++k) EXPECT_EQ(destination.Pixels()[k], Argb(255, 255, 0, 0));
  for (std::int32_t k = 4; k < 7; ++k) EXPECT_EQ(destination.Pixels()[k], Argb(255, 0, 0, 255));
}

}  // namespace
