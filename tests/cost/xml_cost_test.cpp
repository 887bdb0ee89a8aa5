// What the native loader's XML header costs in memory: documents built to
// make TinyXML's tree large (refused by the loader's limits) and the largest
// trees within those limits each take at most 64 MiB above a document
// without extra XML. Each load runs in a child forked from the same state.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "child_peak.h"
#include "formats/native/vfk_thumbnail.h"
#include "image/image32.h"
#include "platform/memory_stream.h"
#include "vfk_writer.h"

namespace {

constexpr long kAllowanceKiB = 64 * 1024;

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// Elements after the Thumb element inside the root.
std::vector<std::uint8_t> DocumentWith(const std::string& besideThumb) {
  vfktest::VfkDocument document =
      vfktest::ThumbnailDocument(2, 2, std::vector<std::uint32_t>(4, 0xFF4080C0), vfktest::kStored);
  document.xml =
      "<Lorapp><Thumb width=\"2\" height=\"2\" bin=\"thumb\"/>" + besideThumb + "</Lorapp>";
  return vfktest::WriteVfk(document);
}

std::string ElementWithAttributes(std::size_t count, std::size_t nameLength) {
  std::string element = "<a";
  for (std::size_t i = 0; i < count; ++i) {
    const std::string number = std::to_string(i);
    element += " " + std::string(nameLength - number.size(), 'p') + number + "=\"\"";
  }
  return element + "/>";
}

bool Loads(const std::vector<std::uint8_t>& bytes) {
  ComRef<IStream> stream = MakeMemoryStream(bytes);
  oxan::CImage32 image;
  return LoadVfkThumbnail(image, stream.Get());
}

TEST(XmlCost, StaysWithinTheAllowanceAtAndBeyondTheLimits) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> document;
    bool loads;
  };
  // All documents are built before the first child is forked.
  const std::string deep = Repeat("<a>", 250) + Repeat("</a>", 250);
  const Case cases[] = {
      {"40,000 attributes on one element", DocumentWith(ElementWithAttributes(40000, 5)), false},
      {"650,000 elements", DocumentWith(Repeat("<a/>", 650000)), false},
      {"nesting 250 repeated to 10 MiB", DocumentWith(Repeat(deep, 0x9F0000 / deep.size())), false},
      {"1000 attributes of 100-byte names on 99 elements",
       DocumentWith(Repeat(ElementWithAttributes(1000, 100), 99)), true},
      {"99,990 elements of 100-byte names",
       DocumentWith(Repeat("<" + std::string(100, 'e') + "/>", 99990)), true},
      {"49,995 texts of 200 bytes",
       DocumentWith(Repeat("<t>" + std::string(200, 'x') + "</t>", 49995)), true},
      {"a 5 MB attribute value and a 5 MB text",
       DocumentWith("<a v=\"" + std::string(5000000, 'v') + "\"/><b>" + std::string(5000000, 'w') +
                    "</b>"),
       true},
  };
  const std::vector<std::uint8_t> small = DocumentWith("");
  const ChildOutcome base = RunInChild([&] { return Loads(small); });
  ASSERT_TRUE(base.succeeded);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ChildOutcome outcome = RunInChild([&] { return Loads(c.document) == c.loads; });
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_LE(outcome.peakKiB, base.peakKiB + kAllowanceKiB);
  }
}

}  // namespace
