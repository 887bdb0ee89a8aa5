#include "formats/native/vfk_thumbnail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "loaded_pictures.h"
#include "platform/memory_stream.h"
#include "platform/read_only_stream.h"
#include "platform/stack_thread.h"
#include "vfk_writer.h"

namespace {

using looktest::IsUntouched;
using looktest::Picture;
using looktest::PixelsOf;
using vfktest::Bytes;
using vfktest::VfkDocument;
using vfktest::VfkEntry;

bool Load(const Bytes& bytes, oxan::CImage32& image) {
  ComRef<IStream> stream = MakeMemoryStream(bytes);
  return LoadVfkThumbnail(image, stream.Get());
}

TEST(LoadVfkThumbnail, LoadsStoredAndCompressedThumbnailsByteForByte) {
  struct Case {
    const char* what;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t method;
  };
  const Case cases[] = {
      {"stored", 40, 30, vfktest::kStored},  {"zlib", 40, 30, vfktest::kZlib},
      {"widest", 1024, 1, vfktest::kZlib},   {"tallest", 1, 1024, vfktest::kStored},
      {"one pixel", 1, 1, vfktest::kStored}, {"largest", 1024, 1024, vfktest::kZlib},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::uint32_t> pixels = Picture(c.width, c.height);
    oxan::CImage32 image;
    ASSERT_TRUE(
        Load(WriteVfk(vfktest::ThumbnailDocument(c.width, c.height, pixels, c.method)), image));
    EXPECT_EQ(image.Width(), c.width);
    EXPECT_EQ(image.Height(), c.height);
    EXPECT_EQ(PixelsOf(image), pixels);
  }
}

// The shell's threads have 1 MiB stacks; the loader must not need more than
// a quarter of that however the XML nests.
constexpr std::size_t kSmallStack = 256 * 1024;

std::string Nested(const std::string& open, const std::string& close, std::size_t levels) {
  std::string text;
  for (std::size_t i = 0; i < levels; ++i) text += open;
  for (std::size_t i = 0; i < levels; ++i) text += close;
  return text;
}

// <Lorapp> holding a branch `levels` deep besides the Thumb element, so the
// whole text nests levels + 1.
VfkDocument DocumentNesting(std::size_t levels, const std::vector<std::uint32_t>& pixels) {
  VfkDocument document = vfktest::ThumbnailDocument(2, 2, pixels, vfktest::kStored);
  document.xml = "<Lorapp><Thumb width=\"2\" height=\"2\" bin=\"thumb\"/>" +
                 Nested("<Layer>", "</Layer>", levels) + "</Lorapp>";
  return document;
}

TEST(LoadVfkThumbnail, ReadsXmlNestedUpToTheLimit) {
  const std::vector<std::uint32_t> pixels = Picture(2, 2);
  platform::RunWithStack(kSmallStack, [&] {
    oxan::CImage32 image;
    EXPECT_TRUE(Load(WriteVfk(DocumentNesting(255, pixels)), image));
    EXPECT_EQ(PixelsOf(image), pixels);
    oxan::CImage32 deeper;
    EXPECT_FALSE(Load(WriteVfk(DocumentNesting(256, pixels)), deeper));
  });
}

// The XML tree's other limits, through the loader: 1000 attributes on one
// element, 100,000 nodes (the root, Thumb and its three attributes are 5).
TEST(LoadVfkThumbnail, ReadsXmlUpToItsAttributeAndNodeLimits) {
  const std::vector<std::uint32_t> pixels = Picture(2, 2);
  auto attributes = [](int count) {
    std::string element = "<Layer";
    for (int i = 0; i < count; ++i) element += " a" + std::to_string(i) + "=\"\"";
    return element + "/>";
  };
  auto nodes = [](std::size_t count) {
    std::string elements;
    for (std::size_t i = 5; i < count; ++i) elements += "<L/>";
    return elements;
  };
  struct Case {
    const char* what;
    std::string besideThumb;
    bool loads;
  };
  const Case cases[] = {
      {"1000 attributes", attributes(1000), true},
      {"1001 attributes", attributes(1001), false},
      {"100,000 nodes", nodes(100000), true},
      {"100,001 nodes", nodes(100001), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VfkDocument document = vfktest::ThumbnailDocument(2, 2, pixels, vfktest::kStored);
    document.xml =
        "<Lorapp><Thumb width=\"2\" height=\"2\" bin=\"thumb\"/>" + c.besideThumb + "</Lorapp>";
    oxan::CImage32 image;
    EXPECT_EQ(Load(WriteVfk(document), image), c.loads);
    if (c.loads) {
      EXPECT_EQ(PixelsOf(image), pixels);
    }
  }
}

TEST(LoadVfkThumbnail, GivesNoThumbnailForDeeplyNestedXmlOnASmallStack) {
  const std::vector<std::uint32_t> pixels = Picture(2, 2);
  struct Case {
    const char* what;
    std::string open;
    std::string close;
  };
  const Case cases[] = {
      {"plain elements", "<a>", "</a>"},
      {"closings hidden in comments", "<a><!--</a>-->", ""},
      {"closings hidden in values", "<a t='</a>'>", ""},
      {"closings swallowed by references", "<a>&#</a>;", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VfkDocument document = vfktest::ThumbnailDocument(2, 2, pixels, vfktest::kStored);
    document.xml = "<Lorapp><Thumb width=\"2\" height=\"2\" bin=\"thumb\"/>" +
                   Nested(c.open, c.close, 600000 / c.open.size()) + "</Lorapp>";
    const Bytes bytes = WriteVfk(document);
    platform::RunWithStack(kSmallStack, [&] {
      oxan::CImage32 image;
      EXPECT_FALSE(Load(bytes, image));
    });
  }
}

TEST(LoadVfkThumbnail, ReadsDocumentsWithManyElementsSideBySide) {
  const std::vector<std::uint32_t> pixels = Picture(2, 2);
  VfkDocument document = vfktest::ThumbnailDocument(2, 2, pixels, vfktest::kStored);
  std::string layers;
  for (int i = 0; i < 20000; ++i)
    layers += "<Layer id=\"" + std::to_string(i) + "\"><Name/></Layer>";
  document.xml = "<Lorapp>" + layers + "<Thumb width=\"2\" height=\"2\" bin=\"thumb\"/></Lorapp>";
  oxan::CImage32 image;
  ASSERT_TRUE(Load(WriteVfk(document), image));
  EXPECT_EQ(PixelsOf(image), pixels);
}

// The payload is read in 16 KiB pieces. A stream whose pixels are complete
// while its last bytes (Adler-32, end of block) still wait in the next piece
// is whole: with unpackedLength equal to the pixel bytes, no more output room
// is needed. Stored blocks (level 0) put the end of the stream at every
// offset around the first few piece boundaries.
TEST(LoadVfkThumbnail, LoadsStreamsThatEndJustPastAnInputPiece) {
  constexpr std::size_t kPiece = 16384;
  constexpr std::size_t kReach = 8;
  int cases = 0;
  for (std::size_t boundary = kPiece; boundary <= 4 * kPiece; boundary += kPiece) {
    for (std::int32_t height = 1; height <= 24; ++height) {
      const auto rowBytes = static_cast<std::size_t>(height) * 4;
      const std::size_t nearWidth = boundary / rowBytes;
      for (std::size_t width = nearWidth > 2 ? nearWidth - 2 : 1; width <= nearWidth + 1; ++width) {
        if (width > 1024) continue;
        const auto w = static_cast<std::int32_t>(width);
        const std::vector<std::uint32_t> pixels = Picture(w, height);
        VfkDocument document = vfktest::ThumbnailDocument(w, height, pixels, vfktest::kZlib);
        document.entries.back().packed = vfktest::Deflate(vfktest::PixelBytes(pixels), 0);
        const std::size_t end = document.entries.back().packed->size();
        if (end + kReach < boundary || end > boundary + kReach) continue;
        SCOPED_TRACE(testing::Message() << w << " x " << height << ", stream of " << end);
        ++cases;
        oxan::CImage32 image;
        ASSERT_TRUE(Load(WriteVfk(document), image));
        EXPECT_EQ(PixelsOf(image), pixels);
      }
    }
  }
  EXPECT_GT(cases, 20);
}

TEST(LoadVfkThumbnail, SkipsEntriesBeforeTheThumbnailByTheirStoredLength) {
  const std::vector<std::uint32_t> pixels = Picture(5, 4);
  VfkDocument document = vfktest::ThumbnailDocument(5, 4, pixels, vfktest::kZlib);
  VfkEntry other;
  other.name = "thumbnail";  // "thumb" is a prefix of it: no match
  other.method = 9;          // skipped by storedLength whatever the method
  other.content = Bytes(300, 1);
  document.entries.insert(document.entries.begin() + 1, other);
  VfkEntry upper = other;
  upper.name = "THUMB";
  upper.method = vfktest::kStored;
  document.entries.insert(document.entries.begin() + 1, upper);
  oxan::CImage32 image;
  ASSERT_TRUE(Load(WriteVfk(document), image));
  EXPECT_EQ(PixelsOf(image), pixels);
}

TEST(LoadVfkThumbnail, ReadsTheHeaderAfterAnUnknownMethodAsTheNextEntry) {
  const std::vector<std::uint32_t> pixels = Picture(3, 3);
  VfkDocument document = vfktest::ThumbnailDocument(3, 3, pixels, vfktest::kStored);
  VfkEntry odd;
  odd.name = "thumb";
  odd.method = 2;
  odd.unpackedLength = 36;  // no payload: the real entry header follows
  document.entries.insert(document.entries.begin() + 1, odd);
  oxan::CImage32 image;
  ASSERT_TRUE(Load(WriteVfk(document), image));
  EXPECT_EQ(PixelsOf(image), pixels);
}

TEST(LoadVfkThumbnail, MatchesANameThatFillsAllSixtyFourBytes) {
  const std::string name(64, 'n');
  const std::vector<std::uint32_t> pixels = Picture(2, 2);
  VfkDocument document = vfktest::ThumbnailDocument(2, 2, pixels, vfktest::kStored);
  document.xml = vfktest::ThumbXml("2", "2", name);
  document.entries.back().name = name;
  oxan::CImage32 image;
  ASSERT_TRUE(Load(WriteVfk(document), image));
  EXPECT_EQ(PixelsOf(image), pixels);

  document.xml = vfktest::ThumbXml("2", "2", name + "x");  // longer than any name field
  oxan::CImage32 other;
  EXPECT_FALSE(Load(WriteVfk(document), other));
}

TEST(LoadVfkThumbnail, AcceptsTheLongestXmlText) {
  VfkDocument document = vfktest::ThumbnailDocument(2, 1, Picture(2, 1), vfktest::kStored);
  document.xml += std::string(0x9FFFFF - document.xml.size(), ' ');
  oxan::CImage32 image;
  EXPECT_TRUE(Load(WriteVfk(document), image));
}

// A stream over bytes that records the largest read asked of it.
class ReadRecorder final : public ReadOnlyStream {
 public:
  explicit ReadRecorder(Bytes bytes) : bytes_(std::move(bytes)) {}
  std::uint32_t largestRead = 0;

  IFACEMETHODIMP Read(void* buffer, ULONG count, ULONG* read) noexcept override {
    largestRead = std::max<std::uint32_t>(largestRead, count);
    return ReadOnlyStream::Read(buffer, count, read);
  }

 private:
  std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) noexcept override {
    const auto n =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(count, bytes_.size() - offset));
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }
  std::uint64_t Size() const noexcept override { return bytes_.size(); }

  Bytes bytes_;
};

// The largest length allowed, in a small file: nothing is read or allocated
// for a text the file cannot hold.
TEST(LoadVfkThumbnail, SizesNoBufferForTextTheFileCannotHold) {
  VfkDocument document = vfktest::ThumbnailDocument(2, 1, Picture(2, 1), vfktest::kStored);
  document.xmlLength = 0x9FFFFF;
  auto* recorder = new ReadRecorder(WriteVfk(document));
  ComRef<IStream> stream(recorder);
  oxan::CImage32 image;
  EXPECT_FALSE(LoadVfkThumbnail(image, stream.Get()));
  EXPECT_TRUE(IsUntouched(image));
  EXPECT_LT(recorder->largestRead, 0x10000u);
}

TEST(LoadVfkThumbnail, LeavesThePlaceholderForAnOverlongXmlText) {
  VfkDocument document = vfktest::ThumbnailDocument(2, 1, Picture(2, 1), vfktest::kStored);
  document.xmlLength = 0xA00000;
  oxan::CImage32 image;
  EXPECT_FALSE(Load(WriteVfk(document), image));
  ASSERT_EQ(image.Width(), 64);
  ASSERT_EQ(image.Height(), 64);
  EXPECT_EQ(image.Pixels()[0], 0xFFFFFFFFu);
  EXPECT_EQ(image.Pixels()[7], 0xFFFFFFFFu);
  EXPECT_EQ(image.Pixels()[8], 0xFFE0E0E0u);
  EXPECT_EQ(image.Pixels()[8 * 64], 0xFFE0E0E0u);
  EXPECT_EQ(image.Pixels()[8 * 64 + 8], 0xFFFFFFFFu);
}

// Each case damages a good 4 × 3 zlib document in one way.
struct Damage {
  const char* what;
  std::function<void(VfkDocument&)> onDocument;
  std::function<void(Bytes&)> onBytes;
  bool untouched;  // the image is still the fresh 1 × 1 one
};

TEST(LoadVfkThumbnail, RefusesDamagedDocuments) {
  const auto xmlWith = [](const char* width, const char* height) {
    return [=](VfkDocument& d) {
      d.xml =
          vfktest::ThumbXml(width ? std::optional<std::string>(width) : std::nullopt,
                            height ? std::optional<std::string>(height) : std::nullopt, "thumb");
    };
  };
  const auto thumbEntry = [](std::function<void(VfkEntry&)> change) {
    return [=](VfkDocument& d) { change(d.entries.back()); };
  };
  const std::vector<Damage> damages = {
      {"magic's last byte", [](VfkDocument& d) { d.magic[7] = 'X'; }, {}, true},
      {"four bytes", {}, [](Bytes& b) { b.resize(4); }, true},
      {"end inside the header", {}, [](Bytes& b) { b.resize(14); }, true},
      {"end inside the XML", {}, [](Bytes& b) { b.resize(40); }, true},
      {"no Lorapp",
       [](VfkDocument& d) {
         d.xml = "<Other><Thumb width=\"4\" height=\"3\" bin=\"thumb\"/></Other>";
       },
       {},
       true},
      {"Thumb as grandchild",
       [](VfkDocument& d) {
         d.xml = "<Lorapp><Page><Thumb width=\"4\" height=\"3\" bin=\"thumb\"/></Page></Lorapp>";
       },
       {},
       true},
      {"width 0", xmlWith("0", "3"), {}, true},
      {"width 1025", xmlWith("1025", "3"), {}, true},
      {"height -3", xmlWith("4", "-3"), {}, true},
      {"no height", xmlWith("4", nullptr), {}, true},
      {"width not a number", xmlWith("four", "3"), {}, true},
      {"width with a space", xmlWith(" 4", "3"), {}, true},
      {"width beyond int", xmlWith("99999999999", "3"), {}, true},
      {"no thumbnail entry", [](VfkDocument& d) { d.entries.pop_back(); }, {}, false},
      {"bad tag before it",
       [](VfkDocument& d) {
         d.entries.front().tag = {'P', 'A', 'K', ' '};
       },
       {},
       false},
      {"unpackedLength 0", thumbEntry([](VfkEntry& e) { e.unpackedLength = 0; }), {}, false},
      {"stored and cut short", thumbEntry([](VfkEntry& e) { e.method = vfktest::kStored; }),
       [](Bytes& b) { b.pop_back(); }, false},
      {"stored, fewer bytes than pixels",
       thumbEntry([](VfkEntry& e) {
         e.method = vfktest::kStored;
         e.content.resize(44);
       }),
       {},
       false},
      {"stored, huge unpackedLength",
       thumbEntry([](VfkEntry& e) {
         e.method = vfktest::kStored;
         e.unpackedLength = 0xFFFFFFFF;
       }),
       {},
       false},
      {"zlib data damaged", {}, [](Bytes& b) { b[b.size() - 10] ^= 0x55; }, false},
      {"zlib cut short", {}, [](Bytes& b) { b.resize(b.size() - 3); }, false},
      {"zlib, storedLength past the end",
       thumbEntry([](VfkEntry& e) { e.storedLength = 0xFFFFFFFF; }),
       {},
       false},
      {"zlib gives fewer bytes than pixels",
       thumbEntry([](VfkEntry& e) {
         e.content.resize(44);
         e.unpackedLength = 48;
       }),
       {},
       false},
      {"zlib gives more than unpackedLength",
       thumbEntry([](VfkEntry& e) {
         e.content.resize(60);
         e.unpackedLength = 48;
       }),
       {},
       false},
      {"zlib, unpackedLength below the pixels",
       thumbEntry([](VfkEntry& e) { e.unpackedLength = 47; }),
       {},
       false},
      {"not zlib at all", thumbEntry([](VfkEntry& e) { e.packed = Bytes(48, 0xAB); }), {}, false},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    VfkDocument document = vfktest::ThumbnailDocument(4, 3, Picture(4, 3), vfktest::kZlib);
    if (damage.onDocument) damage.onDocument(document);
    Bytes bytes = WriteVfk(document);
    if (damage.onBytes) damage.onBytes(bytes);
    oxan::CImage32 image;
    EXPECT_FALSE(Load(bytes, image));
    if (damage.untouched) {
      EXPECT_TRUE(IsUntouched(image));
    }
  }
}

TEST(LoadVfkThumbnail, AcceptsTheEdgesOfTheSideLimits) {
  const std::pair<const char*, const char*> sides[] = {{"1024", "1"}, {"1", "1024"}, {"+2", "1"}};
  for (const auto& [width, height] : sides) {
    SCOPED_TRACE(std::string(width) + " x " + height);
    const std::int32_t w = std::stoi(width), h = std::stoi(height);
    VfkDocument document = vfktest::ThumbnailDocument(w, h, Picture(w, h), vfktest::kStored);
    document.xml = vfktest::ThumbXml(width, height, "thumb");
    oxan::CImage32 image;
    EXPECT_TRUE(Load(WriteVfk(document), image));
  }
}

// TinyXML steps over a whole UTF-8 sequence even when the text ends inside
// it; the loader must keep it within the text's buffer.
TEST(LoadVfkThumbnail, SurvivesXmlTextCutInsideAUtf8Sequence) {
  const char* const texts[] = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Lorapp>x\xF0",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Lorapp><Thumb width=\"\xF0",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Lorapp>&\xF0",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Lorapp>&#x\xF0",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    VfkDocument document = vfktest::ThumbnailDocument(2, 1, Picture(2, 1), vfktest::kStored);
    document.xml = text;
    document.entries.clear();
    oxan::CImage32 image;
    EXPECT_FALSE(Load(WriteVfk(document), image));
    EXPECT_TRUE(IsUntouched(image));
  }
}

}  // namespace
