#include "formats/tnw/document_root.h"

#include <new>

#include "errors/errors.h"
#include "formats/tnw/document_generated.h"
#include "formats/tnw/stream_reader.h"

namespace tnw {
namespace {

constexpr std::int64_t kRootVidx = 0;
constexpr std::uint64_t kMinRootBytes = 12;          // root offset, a table and its vtable
constexpr std::uint64_t kMaxRootBytes = 0x7FFFFFFF;  // the verifier's limit, and read()'s

}  // namespace

std::unique_ptr<std::uint8_t[]> ReadDocumentRoot(pagestore::ReadablePageStore& store) {
  StreamReader reader(store, kRootVidx);
  const std::uint64_t length = reader.length();
  if (length < kMinRootBytes || length > kMaxRootBytes) throw oxan::TNWError("Wrong binary format");
  // Within kMaxRootBytes, which both size_t and read()'s count hold.
  const auto bytes = static_cast<std::size_t>(length);
  std::unique_ptr<std::uint8_t[]> root(new (std::nothrow) std::uint8_t[bytes]);
  if (!root) throw oxan::TNWError("Fail to alloc");
  const auto count = static_cast<std::int32_t>(length);
  flatbuffers::Verifier verifier(root.get(), bytes);
  if (reader.read(root.get(), count) != count || !schema::VerifyDocumentRootBuffer(verifier))
    throw oxan::TNWError("Wrong binary format");
  return root;
}

}  // namespace tnw
