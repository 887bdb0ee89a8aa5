#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "errors/errors.h"
#include "formats/tnw/document_generated.h"
#include "formats/tnw/document_root.h"
#include "formats/tnw/document_stream.h"
#include "formats/tnw/tnw_thumbnail.h"
#include "pagestore/rpage_store.h"
#include "platform/com_ref.h"
#include "platform/memory_stream.h"
#include "vfq_writer.h"

namespace {

namespace schema = tnw::schema;
using vfqtest::Bytes;

Bytes Finish(flatbuffers::FlatBufferBuilder& builder,
             flatbuffers::Offset<schema::DocumentRoot> root) {
  builder.Finish(root);
  return Bytes(builder.GetBufferPointer(), builder.GetBufferPointer() + builder.GetSize());
}

// "" when the root verifies, else the message of what ReadDocumentRoot throws.
std::string Verify(const Bytes& root) {
  vfqtest::VfqWriter writer;
  writer.AddStream(root, vfqtest::kRootVidx);
  const Bytes file = writer.Build();
  ComRef<IStream> stream = MakeMemoryStream(file);
  pagestore::RPageStore<pagestore::SeekPageMapper> store(
      pagestore::SeekPageMapper(file.size(), tnw::DocumentStreamReader(stream.Get())));
  try {
    tnw::ReadDocumentRoot(store);
    return "";
  } catch (const oxan::TNWError& error) {
    return error.what();
  }
}

TEST(DocumentSchema, AcceptsARootWithNoFields) {
  flatbuffers::FlatBufferBuilder builder;
  EXPECT_EQ(Verify(Finish(builder, schema::DocumentRootBuilder(builder).Finish())), "");
}

TEST(DocumentSchema, AcceptsAUnionTagBeyondTheLastVariant) {
  flatbuffers::FlatBufferBuilder builder;
  const auto variant = schema::CreateUnionA1(builder, 7);
  schema::TableABuilder a(builder);
  a.add_f2_type(static_cast<schema::UnionA>(9));
  a.add_f2(variant.Union());
  const auto table = a.Finish();
  const auto list = builder.CreateVector(&table, 1);
  schema::DocumentRootBuilder root(builder);
  root.add_f13(list);
  EXPECT_EQ(Verify(Finish(builder, root.Finish())), "");
}

TEST(DocumentSchema, RefusesAnUnterminatedStringDeepInTableE) {
  flatbuffers::FlatBufferBuilder builder;
  const auto text = builder.CreateString("deep-marker");
  schema::TableEBuilder e(builder);
  e.add_f16(text);
  e.add_f0(1);
  const auto table = e.Finish();
  const auto list = builder.CreateVector(&table, 1);
  const auto d = schema::CreateTableD(builder, 3, list);
  schema::DocumentRootBuilder root(builder);
  root.add_f17(d);
  Bytes bytes = Finish(builder, root.Finish());
  ASSERT_EQ(Verify(bytes), "");
  const std::string marker = "deep-marker";
  const auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
  ASSERT_NE(at, bytes.end());
  at[static_cast<std::ptrdiff_t>(marker.size())] = 'x';  // the terminator
  EXPECT_EQ(Verify(bytes), "Wrong binary format");
}

TEST(DocumentSchema, RefusesRootsTooShortOrMisplaced) {
  EXPECT_EQ(Verify(Bytes(11, 0)), "Wrong binary format");
  // Twelve bytes whose root offset points outside the buffer.
  EXPECT_EQ(Verify(Bytes{0xF0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), "Wrong binary format");
  // A misaligned 8-byte field: the thumbnail struct moved by four bytes.
  flatbuffers::FlatBufferBuilder builder;
  const schema::ThumbnailInfo info(2, 2, 5);
  schema::DocumentRootBuilder root(builder);
  root.add_thumbnail(&info);
  Bytes bytes = Finish(builder, root.Finish());
  ASSERT_EQ(Verify(bytes), "");
  bytes.insert(bytes.begin() + 4, {0, 0, 0, 0});
  bytes[0] = static_cast<std::uint8_t>(bytes[0] + 4);
  EXPECT_EQ(Verify(bytes), "Wrong binary format");
}

// Roots laid out byte by byte from the schema's table of DocumentRoot, as
// FlatBuffers lays out a table with one field, so that a wrong field id,
// kind or size in the schema file shows (the writers above use code
// generated from that same file):
//   0  the root offset, to the table
//   4  the vtable: its size, the table's size, each field id's offset (0:
//      absent)
//   T  the table (T a multiple of 8): the offset back to the vtable, the
//      field `at` bytes in
//   then what the field points to, from a multiple of 4
void Put16(Bytes& bytes, std::size_t at, std::size_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
Bytes Le32(std::uint32_t value) {
  Bytes bytes(4);
  Put32(bytes, 0, value);
  return bytes;
}
Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A field holding `field` itself.
Bytes RootWithField(std::size_t id, std::size_t at, const Bytes& field) {
  const std::size_t vtableSize = 4 + 2 * (id + 1);
  const std::size_t table = (4 + vtableSize + 7) / 8 * 8;
  Bytes bytes(table + at + field.size(), 0);
  Put32(bytes, 0, static_cast<std::uint32_t>(table));
  Put16(bytes, 4, vtableSize);
  Put16(bytes, 6, at + field.size());
  Put16(bytes, 8 + 2 * id, at);
  Put32(bytes, table, static_cast<std::uint32_t>(table - 4));
  std::copy(field.begin(), field.end(), bytes.begin() + static_cast<std::ptrdiff_t>(table + at));
  return bytes;
}

// A field 4 bytes into the table holding the offset of `target`.
Bytes RootWithOffset(std::size_t id, const Bytes& target) {
  Bytes bytes = RootWithField(id, 4, Le32(0));
  const std::size_t field = bytes.size() - 4;
  bytes.resize((bytes.size() + 3) / 4 * 4);
  Put32(bytes, field, static_cast<std::uint32_t>(bytes.size() - field));
  return Join(bytes, target);
}

// Targets: a string (length, bytes, terminator or the buffer's end), a
// table with no fields whose vtable follows it, vectors.
Bytes String(bool terminated) {
  Bytes bytes = Join(Le32(3), {'a', 'b', 'c'});
  if (terminated) bytes.push_back(0);
  return bytes;
}
const Bytes kEmptyTable = {0xFC, 0xFF, 0xFF, 0xFF, 4, 0, 4, 0};
const Bytes kOutside = {0xF0, 0xFF, 0xFF, 0x0F};  // as an offset: far past the end

enum class Kind { kByte, k4Byte, k8Byte, kString, kTable, kTables, kStructs16, kThumbnail };

// One root that verifies and roots that do not, for a field of each kind.
struct Probe {
  Bytes root;
  bool verifies;
};
std::vector<Probe> Probes(std::size_t id, Kind kind) {
  switch (kind) {
    case Kind::kByte:  // anywhere, even at an odd place
      return {{RootWithField(id, 5, {7}), true}};
    case Kind::k4Byte:  // 4-aligned; the value is no offset
      return {{RootWithField(id, 4, kOutside), true}, {RootWithField(id, 6, kOutside), false}};
    case Kind::k8Byte:
      return {{RootWithField(id, 8, Join(kOutside, kOutside)), true},
              {RootWithField(id, 4, Join(kOutside, kOutside)), false}};
    case Kind::kString:
      return {{RootWithOffset(id, String(true)), true}, {RootWithOffset(id, String(false)), false}};
    case Kind::kTable:
      return {{RootWithOffset(id, kEmptyTable), true}, {RootWithField(id, 4, kOutside), false}};
    case Kind::kTables:
      return {{RootWithOffset(id, Join(Le32(1), Join(Le32(4), kEmptyTable))), true},
              {RootWithOffset(id, Join(Le32(1), kOutside)), false}};
    case Kind::kStructs16:
      return {{RootWithOffset(id, Join(Le32(1), Bytes(16, 9))), true},
              {RootWithOffset(id, Join(Le32(2), Bytes(16, 9))), false}};
    case Kind::kThumbnail:  // 16 bytes, 8-aligned
      return {{RootWithField(id, 8, Bytes(16, 9)), true},
              {RootWithField(id, 4, Bytes(16, 9)), false},
              {RootWithField(id, 8, Bytes(8, 9)), false}};
  }
  return {};
}

TEST(DocumentSchema, VerifiesEachRootFieldByTheKindItsIdHas) {
  const Kind kRootFields[] = {
      Kind::k4Byte,    Kind::k4Byte,  Kind::k4Byte,     Kind::kByte,    Kind::k4Byte,
      Kind::k4Byte,    Kind::k4Byte,  Kind::k8Byte,     Kind::kString,  Kind::k8Byte,
      Kind::kString,   Kind::k4Byte,  Kind::kThumbnail, Kind::kTables,  Kind::kStructs16,
      Kind::kTable,    Kind::kTable,  Kind::kTable,     Kind::kString,  Kind::k8Byte,
      Kind::kByte,     Kind::kTable,  Kind::kByte,
  };
  for (std::size_t id = 0; id < std::size(kRootFields); ++id) {
    const std::vector<Probe> probes = Probes(id, kRootFields[id]);
    for (std::size_t n = 0; n < probes.size(); ++n) {
      SCOPED_TRACE(testing::Message() << "field " << id << ", probe " << n);
      EXPECT_EQ(Verify(probes[n].root), probes[n].verifies ? "" : "Wrong binary format");
    }
  }
}

TEST(DocumentSchema, TheThumbnailLaidOutByHandIsTheOneLoaded) {
  // width 2, height 1, the blob at vidx 1
  const Bytes info = {2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  vfqtest::VfqWriter writer;
  const std::int64_t blob = writer.NewVidx();
  ASSERT_EQ(blob, 1);
  writer.AddStream(vfqtest::RawBlob({1, 2, 3, 4, 5, 6, 7, 8}), blob);
  writer.AddStream(RootWithField(12, 8, info), vfqtest::kRootVidx);
  ComRef<IStream> stream = MakeMemoryStream(writer.Build());
  oxan::CImage32 image;
  ASSERT_TRUE(LoadTnwThumbnail(image, stream.Get()));
  ASSERT_EQ(image.Width(), 2);
  ASSERT_EQ(image.Height(), 1);
  EXPECT_EQ(image.Pixels()[0], 0x04030201u);
  EXPECT_EQ(image.Pixels()[1], 0x08070605u);
}

}  // namespace
