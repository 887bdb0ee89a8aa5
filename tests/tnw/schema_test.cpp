#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "errors/errors.h"
#include "formats/tnw/document_generated.h"
#include "formats/tnw/document_root.h"
#include "formats/tnw/document_stream.h"
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

}  // namespace
