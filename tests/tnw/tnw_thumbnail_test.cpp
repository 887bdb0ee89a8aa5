#include "formats/tnw/tnw_thumbnail.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "errors/errors.h"
#include "formats/tnw/document_stream.h"
#include "formats/tnw/stream_reader.h"
#include "formats/tnw/tnw_document_reader.h"
#include "loaded_pictures.h"
#include "pagestore/rpage_store.h"
#include "platform/com_ref.h"
#include "platform/information_box.h"
#include "platform/memory_stream.h"
#include "platform/read_only_stream.h"
#include "vfq_writer.h"

namespace {

using looktest::IsPlaceholder;
using looktest::IsUntouched;
using looktest::Picture;
using looktest::PixelsOf;
using vfqtest::Bytes;
using vfqtest::VfqWriter;

struct Load {
  bool result;
  bool boxShown;
};

Load LoadBytes(const Bytes& bytes, oxan::CImage32& image) {
  ComRef<IStream> stream = MakeMemoryStream(bytes);
  const std::uint64_t boxes = platform::InformationBoxRequests();
  const bool result = LoadTnwThumbnail(image, stream.Get());
  return {result, platform::InformationBoxRequests() != boxes};
}

void PutLe64(Bytes& file, std::size_t at, std::uint64_t value) {
  for (std::size_t i = 0; i < 8; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST(LoadTnwThumbnail, LoadsRawAndZstandardThumbnailsByteForByte) {
  struct Case {
    const char* what;
    std::int32_t width, height;
    std::uint8_t type;
  };
  const Case cases[] = {
      {"raw, inline", 20, 10, vfqtest::kRawBlob},
      {"zstd, inline", 20, 10, vfqtest::kZstdBlob},
      {"raw, paged", 300, 200, vfqtest::kRawBlob},
      {"zstd, one row", 1000, 1, vfqtest::kZstdBlob},
      {"zstd, large", 1024, 1024, vfqtest::kZstdBlob},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::uint32_t> pixels = Picture(c.width, c.height);
    oxan::CImage32 image;
    const Load load =
        LoadBytes(vfqtest::ThumbnailDocument(c.width, c.height, pixels, c.type).Build(), image);
    ASSERT_TRUE(load.result);
    EXPECT_FALSE(load.boxShown);
    EXPECT_EQ(image.Width(), c.width);
    EXPECT_EQ(image.Height(), c.height);
    EXPECT_EQ(PixelsOf(image), pixels);
  }
}

TEST(LoadTnwThumbnail, ReadsARootInAPagedStream) {
  const std::vector<std::uint32_t> pixels = Picture(4, 4);
  VfqWriter writer = vfqtest::ThumbnailDocument(4, 4, pixels, vfqtest::kRawBlob);
  // Replace the inline root by a paged one with the same bytes.
  const Bytes root = vfqtest::DocumentRoot(vfqtest::Thumbnail{4, 4, 1});
  writer.AddPagedStream(root, vfqtest::kRootVidx);
  oxan::CImage32 image;
  ASSERT_TRUE(LoadBytes(writer.Build(), image).result);
  EXPECT_EQ(PixelsOf(image), pixels);
}

// Each case damages a good 4 × 3 raw document in one way.
struct Damage {
  const char* what;
  std::function<void(VfqWriter&)> onWriter;
  std::function<void(Bytes&)> onBytes;
  bool boxShown;
  bool untouched;  // else the placeholder
};

// The file offset of the first byte of the page that vidx names.
std::size_t PageOf(const Bytes& file, std::int64_t vidx) {
  const std::size_t entry = 65536 + 28 + static_cast<std::size_t>(vidx) * 16 + 8;
  std::uint64_t fidx = 0;
  for (std::size_t i = 0; i < 8; ++i) fidx |= std::uint64_t{file[entry + i]} << (8 * i);
  return static_cast<std::size_t>(fidx) * vfqtest::kPageSize;
}

TEST(LoadTnwThumbnail, RefusesDamagedDocuments) {
  const auto root = [](std::optional<vfqtest::Thumbnail> thumbnail) {
    return [=](VfqWriter& w) { w.AddStream(vfqtest::DocumentRoot(thumbnail), vfqtest::kRootVidx); };
  };
  const auto blob = [](Bytes content) { return [=](VfqWriter& w) { w.AddStream(content, 1); }; };
  const Bytes pixelBytes(4 * 3 * 4, 0x11);
  const std::vector<Damage> damages = {
      {"magic's last byte", {}, [](Bytes& b) { b[3] = 'X'; }, false, true},
      {"three bytes", {}, [](Bytes& b) { b.resize(3); }, false, true},
      {"root nextVidx 0",
       {},
       [](Bytes& b) {
         const std::size_t head = PageOf(b, 0);
         b[head] = 0;
         PutLe64(b, head + 9, 0);
       },
       false,
       true},
      {"root nextVidx -2",
       {},
       [](Bytes& b) {
         const std::size_t head = PageOf(b, 0);
         b[head] = 0;
         PutLe64(b, head + 9, ~std::uint64_t{1});
       },
       false,
       true},
      {"root of 11 bytes", blob(Bytes{}), [](Bytes& b) { PutLe64(b, PageOf(b, 0) + 1, 11); }, false,
       true},
      {"root not a FlatBuffer",
       {},
       [](Bytes& b) {
         b[PageOf(b, 0) + 9] = 0xFF;
         b[PageOf(b, 0) + 12] = 0x7F;
       },
       false,
       true},
      {"root without thumbnail", root(std::nullopt), {}, false, true},
      {"root has no page",
       {},
       [](Bytes& b) {
         PutLe64(b, 28 + 8, 0);
         PutLe64(b, 65536 + 28 + 8, 0);
       },
       false,
       true},
      {"width 0", root(vfqtest::Thumbnail{0, 3, 1}), {}, false, true},
      {"height -3", root(vfqtest::Thumbnail{4, -3, 1}), {}, false, true},
      {"2^31 bytes of pixels", root(vfqtest::Thumbnail{32768, 16384, 1}), {}, false, true},
      {"blob type 7", blob(Bytes{7, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3}), {}, false, true},
      {"blob stream empty", blob(Bytes{}), {}, false, true},
      {"raw blob short", blob(vfqtest::RawBlob(Bytes(47, 1))), {}, false, true},
      {"zstd payload not zstd",
       blob(Bytes{3, 48, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}),
       {},
       false,
       true},
      {"zstd declares less", blob(vfqtest::ZstdBlob(pixelBytes, 47)), {}, false, true},
      {"zstd gives less", blob(vfqtest::ZstdBlob(Bytes(40, 1), 48)), {}, false, true},
      {"zstd declares more than 2^31",
       blob(vfqtest::ZstdBlob(pixelBytes, std::uint64_t{1} << 40)),
       {},
       false,
       true},
      {"blob nextVidx 0",
       {},
       [](Bytes& b) {
         const std::size_t head = PageOf(b, 1);
         b[head] = 0;
         PutLe64(b, head + 9, 0);
       },
       true,
       false},
      {"blob vidx has no page", root(vfqtest::Thumbnail{4, 3, 77}), {}, true, false},
      {"table page beyond the file",
       {},
       [](Bytes& b) {
         PutLe64(b, 20, 500);
         PutLe64(b, 65536 + 20, 500);
       },
       true,
       false},
      // The root's head is the last page: no longer a whole page of the file.
      {"root page cut short", {}, [](Bytes& b) { b.resize(b.size() - 1); }, false, true},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    VfqWriter writer = vfqtest::ThumbnailDocument(4, 3, Picture(4, 3), vfqtest::kRawBlob);
    if (damage.onWriter) damage.onWriter(writer);
    Bytes bytes = writer.Build();
    if (damage.onBytes) damage.onBytes(bytes);
    oxan::CImage32 image;
    const Load load = LoadBytes(bytes, image);
    EXPECT_FALSE(load.result);
    EXPECT_EQ(load.boxShown, damage.boxShown);
    if (damage.untouched) {
      EXPECT_TRUE(IsUntouched(image));
    } else {
      EXPECT_TRUE(IsPlaceholder(image));
    }
  }
}

// A document stream that fails Stat, or every read past a byte count.
class FailingStream final : public ReadOnlyStream {
 public:
  FailingStream(Bytes bytes, bool failStat, std::uint64_t readableBytes)
      : bytes_(std::move(bytes)), failStat_(failStat), readableBytes_(readableBytes) {}

  IFACEMETHODIMP Stat(STATSTG* stat, DWORD flags) noexcept override {
    return failStat_ ? E_FAIL : ReadOnlyStream::Stat(stat, flags);
  }

 private:
  std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) noexcept override {
    if (offset + count > readableBytes_) return -1;
    std::memcpy(buffer, bytes_.data() + offset, count);
    return count;
  }
  std::uint64_t Size() const noexcept override { return bytes_.size(); }

  Bytes bytes_;
  bool failStat_;
  std::uint64_t readableBytes_;
};

TEST(LoadTnwThumbnail, ShowsTheBoxWhenTheStreamFails) {
  const Bytes file = vfqtest::ThumbnailDocument(4, 3, Picture(4, 3), vfqtest::kRawBlob).Build();
  struct Case {
    const char* what;
    bool failStat;
    std::uint64_t readableBytes;
  };
  const Case cases[] = {
      {"Stat fails", true, file.size()},
      {"a page read fails", false, 2 * vfqtest::kPageSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ComRef<IStream> stream(new FailingStream(file, c.failStat, c.readableBytes));
    oxan::CImage32 image;
    const std::uint64_t boxes = platform::InformationBoxRequests();
    EXPECT_FALSE(LoadTnwThumbnail(image, stream.Get()));
    EXPECT_EQ(platform::InformationBoxRequests(), boxes + 1);
    EXPECT_TRUE(IsPlaceholder(image));
  }
  ComRef<IStream> stream(new FailingStream(file, false, 2 * vfqtest::kPageSize));
  const pagestore::ReadFunction read = tnw::DocumentStreamReader(stream.Get());
  Bytes page(vfqtest::kPageSize);
  try {
    read(2 * vfqtest::kPageSize, page.data(), 65536);
    FAIL() << "read";
  } catch (const ThumbError& error) {
    EXPECT_STREQ(error.what(), "Read fail");
  }
}

std::unique_ptr<pagestore::ReadablePageStore> OpenStore(IStream* stream, std::uint64_t size) {
  return std::make_unique<pagestore::RPageStore<pagestore::SeekPageMapper>>(
      pagestore::SeekPageMapper(size, tnw::DocumentStreamReader(stream)));
}

// A store that takes the file for `pages` pages long, so a stream that lists
// one small file's pages over and over may be that long; only the pages
// really there are read.
std::unique_ptr<pagestore::ReadablePageStore> OpenStoreOfPages(IStream* stream,
                                                               std::uint64_t pages) {
  return OpenStore(stream, pages * vfqtest::kPageSize);
}

TEST(TnwDocumentReader, ReportsABrokenBlobStreamWithItsPlace) {
  Bytes file = vfqtest::ThumbnailDocument(4, 3, Picture(4, 3), vfqtest::kRawBlob).Build();
  const std::size_t head = PageOf(file, 1);
  file[head] = 0;
  PutLe64(file, head + 9, 0);
  ComRef<IStream> stream = MakeMemoryStream(file);
  tnw::TnwDocumentReader reader(OpenStore(stream.Get(), file.size()));
  oxan::CImage32 image;
  oxan::ImageSink sink(image);
  try {
    reader.ExtractThumbnail(sink);
    FAIL() << "no exception";
  } catch (const oxan::FException& error) {
    EXPECT_EQ(error.code, 2);
    const std::string text = error.what();
    EXPECT_EQ(text.rfind("Invalid nextVidx: 0x0\nhead: 00 ", 0), 0u) << text;
    const std::string describe = "vidx: 1, fidx: " + std::to_string(head / 65536) +
                                 "\npageNum: " + std::to_string(file.size() / 65536) + "\n";
    EXPECT_EQ(text.substr(text.size() - describe.size()), describe) << text;
  }
  EXPECT_TRUE(IsUntouched(image));
}

TEST(StreamReader, ReadsEveryPageOfAStreamWithAnIndexPage) {
  // 8189 data pages fill the head's list; the 8190th is entry 0 of the first
  // index page. All list entries but the last share one page, so the file
  // stays small.
  for (const std::size_t pages : {std::size_t{8189}, std::size_t{8190}}) {
    SCOPED_TRACE(pages);
    VfqWriter writer;
    const std::int64_t common = writer.NewVidx();
    const std::int64_t last = writer.NewVidx();
    writer.SetEntry(common, writer.AddPage(Bytes(vfqtest::kPageSize, 'a')));
    writer.SetEntry(last, writer.AddPage(Bytes(vfqtest::kPageSize, 'b')));
    std::vector<std::int64_t> list(pages - 1, common);
    list.push_back(last);
    const std::uint64_t length = (pages - 1) * vfqtest::kPageSize + 10;
    const std::int64_t stream = writer.AddPagedStream(list, length, writer.NewVidx());
    const Bytes file = writer.Build();
    ComRef<IStream> source = MakeMemoryStream(file);
    auto store = OpenStoreOfPages(source.Get(), pages + 8);
    tnw::StreamReader reader(*store, stream);
    EXPECT_EQ(reader.length(), length);
    std::vector<std::uint8_t> buffer(1 << 20);
    std::uint64_t total = 0;
    bool allA = true;
    for (std::uint64_t left = (pages - 1) * vfqtest::kPageSize; left > 0;) {
      const auto piece = static_cast<std::int32_t>(std::min<std::uint64_t>(left, buffer.size()));
      ASSERT_EQ(reader.read(buffer.data(), piece), piece);
      allA = allA && buffer[0] == 'a' && buffer[static_cast<std::size_t>(piece) - 1] == 'a';
      left -= static_cast<std::uint64_t>(piece);
      total += static_cast<std::uint64_t>(piece);
    }
    EXPECT_TRUE(allA);
    EXPECT_EQ(reader.read(buffer.data(), 100), 10);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 10), "bbbbbbbbbb");
    EXPECT_EQ(reader.read(buffer.data(), 100), 0);
  }
}

TEST(StreamReader, RefusesIndexChainsThatCannotEnd) {
  struct Case {
    const char* what;
    std::int64_t link;  // written into the first index page
    const char* message;
  };
  const Case cases[] = {
      {"back to itself", 0, "index page chain returns to vidx"},
      {"link 0", -100, "invalid index page link 0"},
      {"link -5", -5, "invalid index page link -5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VfqWriter writer;
    const std::int64_t data = writer.NewVidx();
    writer.SetEntry(data, writer.AddPage());
    const std::int64_t stream = writer.AddPagedStream(std::vector<std::int64_t>(8190, data),
                                                      8190 * vfqtest::kPageSize, writer.NewVidx());
    Bytes file = writer.Build();
    // The index page is the page before the head page.
    const std::size_t head = PageOf(file, stream);
    std::uint64_t indexVidx = 0;
    for (std::size_t i = 0; i < 8; ++i) indexVidx |= std::uint64_t{file[head + 9 + i]} << (8 * i);
    const std::size_t index = PageOf(file, static_cast<std::int64_t>(indexVidx));
    PutLe64(file, index,
            static_cast<std::uint64_t>(c.link == 0      ? static_cast<std::int64_t>(indexVidx)
                                       : c.link == -100 ? 0
                                                        : c.link));
    ComRef<IStream> source = MakeMemoryStream(file);
    auto store = OpenStoreOfPages(source.Get(), 8200);
    try {
      tnw::StreamReader reader(*store, stream);
      FAIL() << "opened";
    } catch (const oxan::TNWError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(c.message, 0), 0u) << error.what();
    }
  }
}

}  // namespace
