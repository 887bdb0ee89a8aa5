#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "errors/errors.h"
#include "formats/tnw/document_stream.h"
#include "pagestore/rpage_store.h"
#include "platform/com_ref.h"
#include "platform/memory_stream.h"
#include "vfq_writer.h"

namespace {

using pagestore::RPageStore;
using pagestore::SeekPageMapper;
using vfqtest::Bytes;
using vfqtest::VfqWriter;

// A mapper over bytes in memory that counts its reads.
struct CountedSource {
  Bytes bytes;
  int reads = 0;

  SeekPageMapper Mapper() {
    return SeekPageMapper(
        bytes.size(), [this](std::uint64_t offset, std::uint8_t* buffer, std::int32_t length) {
          ++reads;
          if (offset >= bytes.size()) return 0;
          const auto count = static_cast<std::int32_t>(
              std::min<std::uint64_t>(std::uint64_t(length), bytes.size() - offset));
          std::memcpy(buffer, bytes.data() + offset, static_cast<std::size_t>(count));
          return count;
        });
  }
};

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "(nothing thrown)";
}

TEST(SeekPageMapper, MapsEachTimeAndTakesEachBufferBackOnce) {
  CountedSource source{VfqWriter().Build()};
  SeekPageMapper mapper = source.Mapper();
  const std::uint8_t* first = mapper.map(1);
  const std::uint8_t* second = mapper.map(1);
  EXPECT_NE(first, second);
  EXPECT_EQ(std::memcmp(first, "tnw", 4), 0);
  EXPECT_EQ(mapper.mappedCount(), 2u);
  mapper.unmap(first);
  EXPECT_EQ(mapper.mappedCount(), 1u);
  mapper.unmap(second);
  EXPECT_EQ(mapper.mappedCount(), 0u);
}

// Giving back runs in destructors and cleanup: it never throws. What it
// finds wrong fails the next map instead.
TEST(SeekPageMapper, ReportsABufferGivenBackTwiceAtTheNextMap) {
  CountedSource source{VfqWriter().Build()};
  SeekPageMapper mapper = source.Mapper();
  const std::uint8_t* first = mapper.map(1);
  const std::uint8_t* second = mapper.map(0);
  mapper.unmap(first);
  static_assert(noexcept(mapper.unmap(first)));
  mapper.unmap(first);
  EXPECT_EQ(mapper.mappedCount(), 1u);
  EXPECT_EQ(MessageOf([&] { mapper.map(0); }), "IO error");
  mapper.unmap(second);
  EXPECT_EQ(mapper.mappedCount(), 0u);
}

TEST(SeekPageMapper, ReportsEveryKindOfReadFailure) {
  Bytes file = VfqWriter().Build();
  file.resize(file.size() + 100);  // a short third page
  ComRef<IStream> stream = MakeMemoryStream(file);
  SeekPageMapper mapper(file.size(), tnw::DocumentStreamReader(stream.Get()));
  EXPECT_EQ(MessageOf([&] { mapper.map(2); }), "Can't read enough");
  EXPECT_THROW(mapper.map(2), ThumbError);
  EXPECT_EQ(MessageOf([&] { mapper.map(std::uint64_t{1} << 47); }), "Seek fail");
  EXPECT_EQ(MessageOf([&] { mapper.map(std::numeric_limits<std::uint64_t>::max()); }), "IO error");

  SeekPageMapper shortReads(1 << 20,
                            [](std::uint64_t, std::uint8_t*, std::int32_t) { return 100; });
  EXPECT_EQ(MessageOf([&] { shortReads.map(0); }), "IO error");
  EXPECT_EQ(mapper.mappedCount() + shortReads.mappedCount(), 0u);
}

TEST(RPageStore, ChoosesTheHeaderWithTheLargerSignedGeneration) {
  struct Case {
    std::int64_t page0, page1;
    std::uint32_t header;
  };
  const Case cases[] = {
      {1, 1, 1},
      {5, -1, 0},
      {-1, 5, 1},
      {3, 2, 0},
      {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(), 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.page0 << " vs " << c.page1);
    VfqWriter writer;
    writer.SetGenerations(c.page0, c.page1);
    CountedSource source{writer.Build()};
    RPageStore<SeekPageMapper> store(source.Mapper());
    EXPECT_EQ(store.headerFidx(), c.header);
  }
}

TEST(RPageStore, ResolvesTheEdgesOfHeaderAndTablePages) {
  VfqWriter writer;
  const std::int64_t vidxs[] = {1, 4093, 4094, 8188, 8189};
  for (std::int64_t vidx : vidxs)
    writer.SetEntry(vidx, writer.AddPage(Bytes(8, static_cast<std::uint8_t>(vidx % 251))));
  CountedSource source{writer.Build()};
  RPageStore<SeekPageMapper> store(source.Mapper());
  EXPECT_EQ(store.tablePageCount(), 2u);
  for (std::int64_t vidx : vidxs) {
    SCOPED_TRACE(vidx);
    ASSERT_TRUE(store.hasPage(vidx));
    const std::uint8_t* page = store.getPage(vidx);
    EXPECT_EQ(page[7], vidx % 251);
    store.releasePage(page, vidx);
  }
  EXPECT_FALSE(store.hasPage(2));
  EXPECT_FALSE(store.hasPage(4095 + 4094 + 4095));  // beyond the table
}

TEST(RPageStore, RefusesPagesTheTableDoesNotHaveWithoutReading) {
  VfqWriter writer;
  writer.SetEntry(3, 9);  // beyond a file of fewer pages
  writer.SetEntry(4, writer.AddPage());
  CountedSource source{writer.Build()};
  RPageStore<SeekPageMapper> store(source.Mapper());
  const int readsBefore = source.reads;
  const std::pair<std::int64_t, const char*> refused[] = {
      {-1, "vidx -1 outside a table of 4094 entries"},
      {4094, "vidx 4094 outside a table of 4094 entries"},
      {2, "vidx 2 has no page"},
      {3, "vidx 3 names page 9 of 3"},
  };
  for (const auto& [vidx, message] : refused) {
    SCOPED_TRACE(vidx);
    EXPECT_EQ(MessageOf([&] { store.getPage(vidx); }), message);
    EXPECT_THROW(store.getPage(vidx), oxan::TNWError);
  }
  EXPECT_EQ(source.reads, readsBefore);
}

TEST(RPageStore, KeepsTheAllocationMaps) {
  VfqWriter twoPages;
  CountedSource bare{twoPages.Build()};
  RPageStore<SeekPageMapper> empty(bare.Mapper());
  EXPECT_TRUE(empty.freeFidxs().empty());
  EXPECT_EQ(empty.freeVidxs().size(), 4094u);

  VfqWriter writer;
  writer.SetEntry(0, writer.AddPage());  // fidx 2
  writer.AddPage();                      // fidx 3, unused
  writer.SetEntry(2, writer.AddPage());  // fidx 4
  CountedSource source{writer.Build()};
  RPageStore<SeekPageMapper> store(source.Mapper());
  EXPECT_EQ(store.freeFidxs(), (std::vector<std::uint64_t>{3}));
  ASSERT_GE(store.freeVidxs().size(), 2u);
  EXPECT_EQ(store.freeVidxs()[0], 1);
  EXPECT_EQ(store.freeVidxs()[1], 3);
  EXPECT_FALSE(store.hasPage(1));
}

TEST(RPageStore, DescribesAVidx) {
  VfqWriter writer;
  writer.AddPage();
  writer.SetEntry(5, 7);
  CountedSource source{writer.Build()};
  RPageStore<SeekPageMapper> store(source.Mapper());
  std::ostringstream text;
  store.describe(5, text);
  EXPECT_EQ(text.str(), "vidx: 5, fidx: 7\npageNum: 3\n");
}

TEST(RPageStore, StopsATablePageChainThatCannotEnd) {
  struct Case {
    const char* what;
    std::uint64_t link;  // the second table page's nextTablePage
    const char* message;
  };
  const Case cases[] = {
      {"back to the first", 3, "table page chain returns to page 3"},
      {"to a header page", 1, "table page chain names header page 1"},
      {"beyond the file", 1000, "IO error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VfqWriter writer;
    const std::uint64_t data = writer.AddPage();  // fidx 2
    writer.SetEntry(4094 + 4095, data);           // table pages: fidx 3 and 4
    Bytes file = writer.Build();
    for (std::size_t i = 0; i < 8; ++i)
      file[4 * vfqtest::kPageSize + 8 + i] = static_cast<std::uint8_t>(c.link >> (8 * i));
    CountedSource source{file};
    const std::string message =
        MessageOf([&] { RPageStore<SeekPageMapper> store(source.Mapper()); });
    EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
  }
}

}  // namespace
