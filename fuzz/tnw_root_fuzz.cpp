// libFuzzer target: any bytes as the document root of an otherwise sound TNW
// file, through the root's read and verification alone, then every field the
// loader takes from a root that passed.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "errors/errors.h"
#include "formats/tnw/document_generated.h"
#include "formats/tnw/document_root.h"
#include "formats/tnw/document_stream.h"
#include "fuzz_run.h"
#include "pagestore/rpage_store.h"
#include "platform/memory_stream.h"
#include "vfq_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOnFuzzStack([&] {
    vfqtest::VfqWriter writer;
    writer.AddStream(vfqtest::Bytes(data, data + size), vfqtest::kRootVidx);
    const vfqtest::Bytes file = writer.Build();
    ComRef<IStream> stream = MakeMemoryStream(file);
    pagestore::RPageStore<pagestore::SeekPageMapper> store(
        pagestore::SeekPageMapper(file.size(), tnw::DocumentStreamReader(stream.Get())));
    std::unique_ptr<std::uint8_t[]> root;
    try {
      root = tnw::ReadDocumentRoot(store);
    } catch (const oxan::TNWError&) {
      return;
    }
    if (const auto* thumbnail = tnw::schema::GetDocumentRoot(root.get())->thumbnail()) {
      // Unsigned: any field values add up without overflow.
      volatile std::uint64_t sink = static_cast<std::uint64_t>(thumbnail->width()) +
                                    static_cast<std::uint64_t>(thumbnail->height()) +
                                    static_cast<std::uint64_t>(thumbnail->blob_vidx());
      (void)sink;
    }
  });
  return 0;
}
