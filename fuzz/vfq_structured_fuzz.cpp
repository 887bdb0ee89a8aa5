// libFuzzer target, structure-aware: the input chooses how the test writer
// builds a TNW document (data pages, page lists that repeat pages, declared
// stream lengths, index pages, blob type and declared size, the thumbnail's
// size and blob), then damages a few bytes; the document goes through the
// loader and the whole pipeline. Byte-level mutation rarely builds page
// structures this consistent. Run with a low allocation limit: no length
// the file cannot back may drive an allocation.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "formats/tnw/tnw_thumbnail.h"
#include "fuzz_run.h"
#include "image/image32.h"
#include "platform/memory_stream.h"
#include "provider/compose_thumbnail.h"
#include "vfq_writer.h"

namespace {

using vfqtest::Bytes;

constexpr std::uint64_t kInterestingLengths[] = {0,
                                                 1,
                                                 8,
                                                 9,
                                                 12,
                                                 65527,
                                                 65528,
                                                 65536,
                                                 65537,
                                                 0x7FFFFFFF,
                                                 0x80000000,
                                                 0xFFFFFFFF,
                                                 std::uint64_t{1} << 40,
                                                 ~std::uint64_t{0}};
constexpr std::int32_t kInterestingSides[] = {0, 1, 2, 3, 7, 64, 255, 256, 1024, 2048, -1};

std::uint64_t Length(FuzzedDataProvider& in, std::uint64_t natural) {
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
      return natural;
    case 1:
      return in.PickValueInArray(kInterestingLengths);
    default:
      return in.ConsumeIntegral<std::uint64_t>();
  }
}

std::int32_t Side(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? in.PickValueInArray(kInterestingSides)
                          : in.ConsumeIntegralInRange<std::int32_t>(1, 300);
}

// The blob's content before its header: the picture's bytes when small, all
// zeros (a small Zstandard frame of a large picture), or a few chosen bytes.
Bytes Content(FuzzedDataProvider& in, std::int32_t width, std::int32_t height) {
  const std::uint64_t pixels =
      width > 0 && height > 0 ? std::uint64_t(width) * std::uint64_t(height) * 4 : 0;
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
      if (pixels <= (1u << 20)) return Bytes(pixels, in.ConsumeIntegral<std::uint8_t>());
      return {};
    case 1:
      if (pixels <= (16u << 20)) return Bytes(pixels, 0);
      return {};
    default:
      return in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 300));
  }
}

Bytes Blob(FuzzedDataProvider& in, const Bytes& content) {
  switch (in.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
      return vfqtest::RawBlob(content);
    case 1:
      return vfqtest::ZstdBlob(content, Length(in, content.size()));
    default: {
      Bytes blob = vfqtest::ZstdBlob(content, Length(in, content.size()));
      blob[0] = in.ConsumeIntegral<std::uint8_t>();
      return blob;
    }
  }
}

// A stream as the writer lays it out, or a paged one over chosen data pages
// listed as often as the input says, with a chosen length.
void AddStream(FuzzedDataProvider& in, vfqtest::VfqWriter& writer, const Bytes& content,
               std::int64_t vidx, const std::vector<std::int64_t>& dataVidxs) {
  if (dataVidxs.empty() || in.ConsumeBool()) {
    writer.AddStream(content, vidx);
    return;
  }
  std::vector<std::int64_t> list(in.ConsumeIntegralInRange<std::size_t>(0, 20000));
  for (std::int64_t& entry : list) entry = dataVidxs[list.size() % dataVidxs.size()];
  writer.AddPagedStream(list, Length(in, list.size() * vfqtest::kPageSize), vidx);
}

Bytes Build(FuzzedDataProvider& in) {
  vfqtest::VfqWriter writer;
  std::vector<std::int64_t> dataVidxs;
  for (int i = in.ConsumeIntegralInRange<int>(0, 4); i > 0; --i) {
    const std::int64_t vidx = writer.NewVidx();
    writer.SetEntry(vidx, writer.AddPage(Bytes(in.ConsumeIntegralInRange<std::size_t>(0, 65536),
                                               in.ConsumeIntegral<std::uint8_t>())));
    dataVidxs.push_back(vidx);
  }
  const std::int32_t width = Side(in);
  const std::int32_t height = Side(in);
  const std::int64_t blobVidx = writer.NewVidx();
  AddStream(in, writer, Blob(in, Content(in, width, height)), blobVidx, dataVidxs);
  const std::int64_t named = in.ConsumeBool() ? blobVidx : in.ConsumeIntegral<std::int64_t>();
  AddStream(in, writer, vfqtest::DocumentRoot(vfqtest::Thumbnail{width, height, named}),
            vfqtest::kRootVidx, dataVidxs);
  Bytes file = writer.Build();
  for (int i = in.ConsumeIntegralInRange<int>(0, 8); i > 0 && !file.empty(); --i) {
    file[in.ConsumeIntegralInRange<std::size_t>(0, file.size() - 1)] =
        in.ConsumeIntegral<std::uint8_t>();
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOnFuzzStack([&] {
    FuzzedDataProvider in(data, size);
    Bytes file;
    try {
      file = Build(in);
    } catch (const std::exception&) {  // a layout the writer cannot make
      return;
    }
    ComRef<IStream> stream = MakeMemoryStream(std::move(file));
    oxan::CImage32 square;
    ComposeThumbnail(ReadTnwThumbnail, stream.Get(), 48, square);
  });
  return 0;
}
