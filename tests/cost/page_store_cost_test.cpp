// What opening a TNW document costs when its stream reports a size far
// beyond its bytes (a sparse file, a stream that misreports): the reading
// path works from the pages the document names, not from the size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "child_peak.h"
#include "formats/tnw/tnw_thumbnail.h"
#include "image/image32.h"
#include "platform/com_ref.h"
#include "platform/read_only_stream.h"
#include "vfq_writer.h"

namespace {

constexpr long kAllowanceKiB = 64 * 1024;
constexpr std::uint64_t kTebibyte = std::uint64_t{1} << 40;

// Bytes in memory behind a stream that claims `size`; reads past the bytes
// come up short.
class ClaimedSizeStream final : public ReadOnlyStream {
 public:
  ClaimedSizeStream(std::vector<std::uint8_t> bytes, std::uint64_t size) noexcept
      : bytes_(std::move(bytes)), size_(size) {}

 private:
  std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) noexcept override {
    if (offset >= bytes_.size()) return 0;
    const auto n =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(count, bytes_.size() - offset));
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }
  std::uint64_t Size() const noexcept override { return size_; }

  std::vector<std::uint8_t> bytes_;
  std::uint64_t size_;
};

bool LoadsClaiming(const std::vector<std::uint8_t>& bytes, std::uint64_t size) {
  ComRef<IStream> stream(new (std::nothrow) ClaimedSizeStream(bytes, size));
  oxan::CImage32 image;
  return LoadTnwThumbnail(image, stream.Get()) && image.Width() == 16;
}

TEST(PageStoreCost, DoesNotGrowWithTheReportedSize) {
  const std::vector<std::uint8_t> bytes =
      vfqtest::ThumbnailDocument(16, 16, std::vector<std::uint32_t>(256, 0xFF4080C0),
                                 vfqtest::kRawBlob)
          .Build();
  const ChildOutcome base = RunInChild([&] { return LoadsClaiming(bytes, bytes.size()); });
  ASSERT_TRUE(base.succeeded);
  const ChildOutcome claimed = RunInChild([&] { return LoadsClaiming(bytes, kTebibyte); });
  EXPECT_TRUE(claimed.succeeded);
  EXPECT_LE(claimed.peakKiB, base.peakKiB + kAllowanceKiB);
}

}  // namespace
