// What a stored picture costs to thumbnail: a TNW document may store a
// picture of up to 2^31 bytes in a Zstandard blob of a few hundred KiB, and
// making its 256 × 256 thumbnail takes at most 64 MiB above a small
// document's (plus the window its Zstandard frame declares, up to 2^27
// bytes; a frame declaring more gives no thumbnail), with the same pixels as
// resampling the whole picture. Each thumbnail is made in a child forked
// from the same state.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "child_peak.h"
#include "formats/tnw/tnw_thumbnail.h"
#include "image/image32.h"
#include "resample/resample.h"
#include "platform/memory_stream.h"
#include "provider/compose_thumbnail.h"
#include "vfq_writer.h"

namespace {

constexpr long kAllowanceKiB = 64 * 1024;
constexpr std::int32_t kSide = 256;
constexpr std::size_t kSquareBytes = std::size_t{kSide} * kSide * 4;

// The square, into `out` (kSquareBytes), for the parent to see.
bool Thumbnail(const std::vector<std::uint8_t>& document, void* out) {
  ComRef<IStream> stream = MakeMemoryStream(document);
  oxan::CImage32 square;
  if (!ComposeThumbnail(ReadTnwThumbnail, stream.Get(), kSide, square)) return false;
  std::memcpy(out, square.Pixels(), kSquareBytes);
  return true;
}

TEST(PictureCost, IsBoundedByTheThumbnailForHugeStoredPictures) {
  struct Case {
    std::int32_t width;
    std::int32_t height;
    int windowLog;  // 0: the compressor's own for level 1
  };
  const Case cases[] = {{16384, 16384, 0}, {32767, 4096, 0}, {2048, 32767, 0}, {16384, 16384, 27}};
  // Documents first, then the children: all start from the same state.
  const std::vector<std::uint8_t> small = vfqtest::PatternDocument(64, 64).Build();
  std::vector<std::vector<std::uint8_t>> documents;
  for (const Case& c : cases)
    documents.push_back(vfqtest::PatternDocument(c.width, c.height, c.windowLog).Build());
  void* shared =
      mmap(nullptr, kSquareBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  const ChildOutcome base = RunInChild([&] { return Thumbnail(small, shared); });
  ASSERT_TRUE(base.succeeded);
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    SCOPED_TRACE(testing::Message() << cases[k].width << " x " << cases[k].height << ", window 2^"
                                    << cases[k].windowLog);
    const ChildOutcome outcome = RunInChild([&] { return Thumbnail(documents[k], shared); });
    EXPECT_TRUE(outcome.succeeded);
    const long windowKiB = cases[k].windowLog == 0 ? 0 : (1L << cases[k].windowLog) / 1024;
    EXPECT_LE(outcome.peakKiB, base.peakKiB + kAllowanceKiB + windowKiB);
    std::printf("%d x %d, window log %d (0: level 1's): peak %ld KiB, a small document's %ld KiB\n",
                cases[k].width, cases[k].height, cases[k].windowLog, outcome.peakKiB,
                base.peakKiB);
    if (k != 0) continue;
    // The square picture fills the square: the whole picture resampled.
    oxan::CImage32 whole, expected;
    ASSERT_TRUE(whole.Resize(cases[k].width, cases[k].height));
    for (std::int32_t y = 0; y < cases[k].height; ++y)
      for (std::int32_t x = 0; x < cases[k].width; ++x)
        whole.RowPointer(y)[x] = vfqtest::PatternPixel(x, y);
    ASSERT_TRUE(expected.Resize(kSide, kSide));
    oxan::Resample(expected, whole);
    EXPECT_EQ(std::memcmp(shared, expected.Pixels(), kSquareBytes), 0);
  }
  munmap(shared, kSquareBytes);
}

// A frame that declares a window beyond 2^27 bytes (what `zstd --long=30`
// writes) gives no thumbnail, refused before the picture or the window is
// asked for.
TEST(PictureCost, RefusesAFrameDeclaringAWindowBeyondTheLimit) {
  const std::vector<std::uint8_t> small = vfqtest::PatternDocument(64, 64).Build();
  const std::vector<std::uint8_t> document = vfqtest::PatternDocument(16384, 16384, 30).Build();
  std::printf("16384 x 16384, window 2^30: a document of %zu KiB\n", document.size() / 1024);
  void* shared =
      mmap(nullptr, kSquareBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  const ChildOutcome base = RunInChild([&] { return Thumbnail(small, shared); });
  ASSERT_TRUE(base.succeeded);
  const ChildOutcome outcome = RunInChild([&] { return Thumbnail(document, shared); });
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_LE(outcome.peakKiB, base.peakKiB + kAllowanceKiB);
  std::printf("window 2^30: peak %ld KiB, a small document's %ld KiB\n", outcome.peakKiB,
              base.peakKiB);
  munmap(shared, kSquareBytes);
}

}  // namespace
