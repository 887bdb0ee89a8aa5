// What a stored picture costs to thumbnail: a TNW document may store a
// picture of up to 2^31 bytes in a Zstandard blob of a few hundred KiB, and
// making its 256 × 256 thumbnail takes at most 64 MiB above a small
// document's, with the same pixels as resampling the whole picture. Each
// thumbnail is made in a child forked from the same state.
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
  };
  const Case cases[] = {{16384, 16384}, {32767, 4096}, {2048, 32767}};
  // Documents first, then the children: all start from the same state.
  const std::vector<std::uint8_t> small = vfqtest::PatternDocument(64, 64).Build();
  std::vector<std::vector<std::uint8_t>> documents;
  for (const Case& c : cases)
    documents.push_back(vfqtest::PatternDocument(c.width, c.height).Build());
  void* shared =
      mmap(nullptr, kSquareBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  const ChildOutcome base = RunInChild([&] { return Thumbnail(small, shared); });
  ASSERT_TRUE(base.succeeded);
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    SCOPED_TRACE(testing::Message() << cases[k].width << " x " << cases[k].height);
    const ChildOutcome outcome = RunInChild([&] { return Thumbnail(documents[k], shared); });
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_LE(outcome.peakKiB, base.peakKiB + kAllowanceKiB);
    std::printf("%d x %d: peak %ld KiB, a small document's %ld KiB\n", cases[k].width,
                cases[k].height, outcome.peakKiB, base.peakKiB);
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

}  // namespace
