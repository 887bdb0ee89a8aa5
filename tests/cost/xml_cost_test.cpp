// What the native loader's XML header costs in memory: documents built to
// make TinyXML's tree large (refused by the loader's limits) and the largest
// trees within those limits each take at most 64 MiB above a document
// without extra XML. Each load runs in a child forked from the same state.
// What they cost in time, xml_bench measures.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "child_peak.h"
#include "formats/native/vfk_thumbnail.h"
#include "hostile_xml.h"
#include "image/image32.h"
#include "platform/memory_stream.h"

namespace {

constexpr long kAllowanceKiB = 64 * 1024;

bool Loads(const std::vector<std::uint8_t>& bytes) {
  ComRef<IStream> stream = MakeMemoryStream(bytes);
  oxan::CImage32 image;
  return LoadVfkThumbnail(image, stream.Get());
}

TEST(XmlCost, StaysWithinTheAllowanceAtAndBeyondTheLimits) {
  // All documents are built before the first child is forked.
  const std::vector<vfktest::HostileXmlDocument> cases = vfktest::HostileXmlDocuments();
  const std::vector<std::uint8_t> small = vfktest::PlainXmlDocument();
  const ChildOutcome base = RunInChild([&] { return Loads(small); });
  ASSERT_TRUE(base.succeeded);
  for (const vfktest::HostileXmlDocument& c : cases) {
    SCOPED_TRACE(c.what);
    const ChildOutcome outcome = RunInChild([&] { return Loads(c.document) == c.loads; });
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_LE(outcome.peakKiB, base.peakKiB + kAllowanceKiB);
  }
}

}  // namespace
