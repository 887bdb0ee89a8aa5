// Lengths and sizes that a document declares are believed only as far as the
// file can back them: nothing is allocated from them before that is shown.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "errors/errors.h"
#include "formats/tnw/decompressor_pool.h"
#include "formats/tnw/document_stream.h"
#include "formats/tnw/stream_reader.h"
#include "formats/tnw/thumbnail_blob.h"
#include "memory/block_alloc.h"
#include "pagestore/rpage_store.h"
#include "platform/com_ref.h"
#include "platform/memory_stream.h"
#include "vfq_writer.h"

namespace {

using vfqtest::Bytes;
using vfqtest::VfqWriter;

struct OpenDocument {
  ComRef<IStream> stream;
  std::unique_ptr<pagestore::ReadablePageStore> store;
};

OpenDocument Open(const Bytes& file) {
  OpenDocument document{MakeMemoryStream(file), nullptr};
  document.store = std::make_unique<pagestore::RPageStore<pagestore::SeekPageMapper>>(
      pagestore::SeekPageMapper(file.size(), tnw::DocumentStreamReader(document.stream.Get())));
  return document;
}

TEST(StreamReader, RefusesALengthBeyondTheFilesPages) {
  // One data page listed over and over: the page list reaches 2^31 bytes,
  // the file holds a few pages.
  const auto file = [](std::uint64_t length) {
    VfqWriter writer;
    const std::int64_t data = writer.NewVidx();
    writer.SetEntry(data, writer.AddPage());
    writer.AddPagedStream(std::vector<std::int64_t>(32768, data), length, vfqtest::kRootVidx);
    return writer.Build();
  };
  const std::uint64_t pages = file(0).size() / vfqtest::kPageSize;
  const std::uint64_t lengths[] = {0x7FFFFFFF, pages * vfqtest::kPageSize + 1,
                                   pages * vfqtest::kPageSize};
  for (const std::uint64_t length : lengths) {
    SCOPED_TRACE(length);
    OpenDocument document = Open(file(length));
    if (length <= pages * vfqtest::kPageSize) {
      tnw::StreamReader reader(*document.store, vfqtest::kRootVidx);
      EXPECT_EQ(reader.length(), length);
      continue;
    }
    try {
      tnw::StreamReader reader(*document.store, vfqtest::kRootVidx);
      FAIL() << "opened";
    } catch (const oxan::TNWError& error) {
      EXPECT_EQ(std::string(error.what()), "stream at vidx 0 claims " + std::to_string(length) +
                                               " bytes; the file has " + std::to_string(pages) +
                                               " pages");
    }
  }
}

// Counts what a picture asks of the block allocator.
struct Requests {
  static inline std::vector<std::uint64_t> sizes;
  static void* Alloc(std::uint64_t size) {
    sizes.push_back(size);
    return oxan::BlockAlloc(size);
  }
  static void Free(void* block, std::uint64_t size) noexcept { oxan::BlockFree(block, size); }
};
constexpr oxan::BlockSource kRequests{&Requests::Alloc, &Requests::Free};

TEST(ReadThumbnailBlob, SizesThePictureOnlyOnceTheBlobCanFillIt) {
  constexpr std::int32_t kSide = 512;  // 1 MiB of pixels
  constexpr std::uint64_t kPixelBytes = std::uint64_t{kSide} * kSide * 4;
  const Bytes zeros(kPixelBytes, 0);
  struct Case {
    const char* what;
    Bytes blob;
    bool read;
  };
  const Case cases[] = {
      {"raw, a hundred bytes", vfqtest::RawBlob(Bytes(100, 1)), false},
      {"zstd frame of a hundred bytes declared as the picture",
       vfqtest::ZstdBlob(Bytes(100, 1), kPixelBytes), false},
      {"zstd frame of a hundred bytes declared as 2^31 - 1",
       vfqtest::ZstdBlob(Bytes(100, 1), 0x7FFFFFFF), false},
      {"raw, the whole picture", vfqtest::RawBlob(zeros), true},
      {"zstd, a small frame of the whole picture", vfqtest::ZstdBlob(zeros), true},
      {"zstd, the whole picture declared larger", vfqtest::ZstdBlob(zeros, 3 * kPixelBytes), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VfqWriter writer;
    const std::int64_t blob = writer.AddStream(c.blob, writer.NewVidx());
    OpenDocument document = Open(writer.Build());
    tnw::DecompressorPool pool;
    Requests::sizes.clear();
    oxan::CImage32 picture(kRequests);
    oxan::ImageSink sink(picture);
    EXPECT_EQ(tnw::ReadThumbnailBlob(*document.store, blob, pool, kSide, kSide, sink), c.read);
    EXPECT_EQ(Requests::sizes,
              c.read ? std::vector<std::uint64_t>{kPixelBytes} : std::vector<std::uint64_t>{});
  }
}

}  // namespace
