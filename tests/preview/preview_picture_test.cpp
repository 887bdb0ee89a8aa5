#include "preview/preview_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/tnw/tnw_thumbnail.h"
#include "platform/com_ref.h"
#include "platform/information_box.h"
#include "platform/memory_stream.h"
#include "resample/resample.h"
#include "vfq_writer.h"

namespace {

// A pattern every pixel of which differs from its neighbours.
std::uint32_t Pattern(std::int64_t x, std::int64_t y) {
  return static_cast<std::uint32_t>((x * 2654435761u) ^ (y * 40503u) ^ (x * y));
}

template <std::int32_t kWidth, std::int32_t kHeight>
bool PatternLoader(oxan::PictureSink& sink, IStream*) {
  if (!sink.Begin(kWidth, kHeight)) return false;
  std::int64_t index = 0;
  for (std::span<std::uint8_t> room = sink.Room(); !room.empty(); room = sink.Room()) {
    // Odd pieces, so that rows are split anywhere.
    const std::size_t words = std::min<std::size_t>(room.size() / 4, 777);
    for (std::size_t i = 0; i < words; ++i, ++index) {
      const std::uint32_t word = Pattern(index % kWidth, index / kWidth);
      std::memcpy(room.data() + 4 * i, &word, 4);
    }
    sink.Filled(words * 4);
  }
  return true;
}

void FillPattern(oxan::CImage32& image, std::int32_t width, std::int32_t height) {
  ASSERT_TRUE(image.Resize(width, height));
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x) image.RowPointer(y)[x] = Pattern(x, y);
}

bool FailingLoader(oxan::PictureSink&, IStream*) { return false; }

std::vector<std::uint32_t> PixelsOf(const oxan::CImage32& image) {
  const std::uint32_t* pixels = image.Pixels();
  return {pixels, pixels + std::size_t(image.Width()) * std::size_t(image.Height())};
}

TEST(PlacePreview, FitsLargePicturesNeverEnlargesSmallOnesAndCentres) {
  struct Case {
    std::int32_t pictureWidth, pictureHeight, boxWidth, boxHeight;
    PreviewPlacement expected;
  };
  const Case cases[] = {
      {100, 50, 320, 240, {110, 95, 100, 50}},  // smaller: as it is, centred
      {320, 240, 320, 240, {0, 0, 320, 240}},   // exactly the box
      {640, 240, 320, 240, {0, 60, 320, 120}},  // wider: touches left and right
      {1000, 1000, 17, 900, {0, 442, 17, 17}},  // a narrow pane
      {1, 4000, 1000, 400, {500, 0, 1, 400}},   // a side that would round to 0 stays 1
      {4000, 1, 1000, 400, {0, 200, 1000, 1}},
      {3, 3, 0, 240, {}},  // an empty box shows nothing
      {3, 3, 240, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pictureWidth << "x" << c.pictureHeight << " in "
                                    << c.boxWidth << "x" << c.boxHeight);
    const PreviewPlacement got =
        PlacePreview(c.pictureWidth, c.pictureHeight, c.boxWidth, c.boxHeight);
    EXPECT_EQ(got.x, c.expected.x);
    EXPECT_EQ(got.y, c.expected.y);
    EXPECT_EQ(got.width, c.expected.width);
    EXPECT_EQ(got.height, c.expected.height);
  }
}

TEST(KeepPreviewPicture, KeepsASmallPictureAsStored) {
  oxan::CImage32 kept;
  StoredSize stored;
  ASSERT_TRUE(KeepPreviewPicture(PatternLoader<300, 7>, nullptr, kept, &stored));
  EXPECT_EQ(stored.width, 300);
  EXPECT_EQ(stored.height, 7);
  oxan::CImage32 whole;
  FillPattern(whole, 300, 7);
  EXPECT_EQ(PixelsOf(kept), PixelsOf(whole));
}

// A picture beyond the kept square is shrunk as its rows arrive (18 MB of
// rows: through a band), to the same pixels as resampling it whole.
TEST(KeepPreviewPicture, ShrinksALargerPictureToTheKeptSquare) {
  oxan::CImage32 kept;
  StoredSize stored;
  ASSERT_TRUE(KeepPreviewPicture(PatternLoader<5000, 900>, nullptr, kept, &stored));
  EXPECT_EQ(stored.width, 5000);
  ASSERT_EQ(kept.Width(), kPreviewKeepSide);
  ASSERT_EQ(kept.Height(), 737);
  oxan::CImage32 expected;
  ASSERT_TRUE(expected.Resize(kPreviewKeepSide, 737));
  oxan::CImage32 whole;
  FillPattern(whole, 5000, 900);
  oxan::Resample(expected, whole);
  EXPECT_EQ(PixelsOf(kept), PixelsOf(expected));
}

TEST(KeepPreviewPicture, FailsWithNothingKeptWhenTheLoaderFails) {
  oxan::CImage32 kept;
  ASSERT_TRUE(kept.Resize(40, 40));
  EXPECT_FALSE(KeepPreviewPicture(FailingLoader, nullptr, kept));
  EXPECT_EQ(kept.Width(), 1);
  EXPECT_EQ(kept.Height(), 1);
}

// A damaged document gets no preview and no information box, which would
// wait for a person in front of the pane; thumbnails still ask for one.
TEST(KeepPreviewPicture, ShowsNoInformationBoxForADamagedDocument) {
  // The root names a blob whose vidx has no page: the reader throws, and
  // the loader would ask for a box.
  vfqtest::VfqWriter writer =
      vfqtest::ThumbnailDocument(4, 4, std::vector<std::uint32_t>(16, 0xFF102030), vfqtest::kRawBlob);
  writer.AddStream(vfqtest::DocumentRoot(vfqtest::Thumbnail{4, 4, 77}), vfqtest::kRootVidx);
  const vfqtest::Bytes damaged = writer.Build();
  ComRef<IStream> stream = MakeMemoryStream(damaged);
  oxan::CImage32 kept;
  const std::uint64_t boxes = platform::InformationBoxRequests();
  EXPECT_FALSE(KeepPreviewPicture(ReadTnwThumbnail, stream.Get(), kept));
  EXPECT_EQ(platform::InformationBoxRequests(), boxes);
  ComRef<IStream> again = MakeMemoryStream(damaged);
  oxan::CImage32 image;
  EXPECT_FALSE(LoadTnwThumbnail(image, again.Get()));
  EXPECT_EQ(platform::InformationBoxRequests(), boxes + 1);
}

// Straight alpha over the background, rounded to nearest, and the
// background all around the picture.
TEST(RenderPreviewBox, LaysThePictureOverTheBackground) {
  oxan::CImage32 kept;
  ASSERT_TRUE(kept.Resize(3, 1));
  kept.RowPointer(0)[0] = 0xFFFF8000;  // opaque: its own colour
  kept.RowPointer(0)[1] = 0x80C04020;  // half: (c × 128 + bg × 127 + 127) / 255
  kept.RowPointer(0)[2] = 0x00FFFFFF;  // transparent: the background
  oxan::CImage32 box;
  ASSERT_TRUE(RenderPreviewBox(kept, 5, 3, 0x102030, box));
  constexpr std::uint32_t bg = 0xFF102030;
  const std::vector<std::uint32_t> expected = {
      bg, bg,         bg,         bg, bg,  //
      bg, 0xFFFF8000, 0xFF683028, bg, bg,  //
      bg, bg,         bg,         bg, bg,
  };
  EXPECT_EQ(PixelsOf(box), expected);
}

}  // namespace
