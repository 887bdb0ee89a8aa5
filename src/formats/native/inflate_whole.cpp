// The payload read whole and inflated by libdeflate in one call, straight
// into the pixels.
#include <libdeflate.h>

#include <memory>

#include "formats/native/payload.h"
#include "memory/large_block.h"
#include "platform/stream_read.h"

namespace native {
namespace {

struct FreeDecompressor {
  void operator()(libdeflate_decompressor* d) const noexcept { libdeflate_free_decompressor(d); }
};

struct FreeLarge {
  void operator()(std::uint8_t* block) const noexcept { oxan::memory::LargeFree(block); }
};

}  // namespace

// libdeflate checks the zlib header and the Adler-32, reports a stream that
// needs more input than given as bad data, and one that would produce more
// than the pixels as short of room: each is no thumbnail, as in pieces. Bytes
// after the stream's end within storedLength are read and ignored there too.
bool InflateWhole(IStream* stream, std::uint32_t storedLength, std::span<std::uint8_t> pixels) {
  // Read whole (a large payload on huge pages where the system has them).
  const std::unique_ptr<std::uint8_t, FreeLarge> input(
      static_cast<std::uint8_t*>(oxan::memory::LargeAlloc(storedLength)));
  if (!input || !ReadAll(stream, input.get(), storedLength)) return false;
  const std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor(
      libdeflate_alloc_decompressor());
  if (!decompressor) return false;
  std::size_t consumed = 0;
  std::size_t produced = 0;
  return libdeflate_zlib_decompress_ex(decompressor.get(), input.get(), storedLength,
                                       pixels.data(), pixels.size(), &consumed,
                                       &produced) == LIBDEFLATE_SUCCESS &&
         produced == pixels.size();
}

}  // namespace native
