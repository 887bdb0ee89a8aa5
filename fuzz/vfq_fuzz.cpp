// libFuzzer target: any bytes as a TNW document, through the loader and the
// whole thumbnail pipeline (fit, resample, composite) at a small size.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/tnw/tnw_thumbnail.h"
#include "fuzz_run.h"
#include "image/image32.h"
#include "platform/memory_stream.h"
#include "provider/compose_thumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOnFuzzStack([&] {
    ComRef<IStream> stream = MakeMemoryStream(std::vector<std::uint8_t>(data, data + size));
    oxan::CImage32 square;
    ComposeThumbnail(ReadTnwThumbnail, stream.Get(), 48, square);
  });
  return 0;
}
