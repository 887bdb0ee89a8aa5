#include "formats/native/payload.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>

#include "platform/stream_read.h"

namespace native {
namespace {

// Piece size for input and for bytes that are read or inflated only to be
// dropped.
constexpr std::uint32_t kPieceSize = 16384;

// Reads and drops `count` bytes; false when fewer are there.
bool SkipBytes(IStream* stream, std::uint64_t count) {
  std::uint8_t piece[kPieceSize];
  while (count > 0) {
    const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, kPieceSize));
    if (!ReadAll(stream, piece, wanted)) return false;
    count -= wanted;
  }
  return true;
}

// Owns one z_stream set up for inflation; inflateEnd runs exactly once.
class InflateStream {
 public:
  InflateStream() noexcept : ready_(inflateInit(&z_) == Z_OK) {}
  ~InflateStream() {
    if (ready_) inflateEnd(&z_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  bool Ready() const noexcept { return ready_; }
  z_stream& Get() noexcept { return z_; }

 private:
  z_stream z_{};  // declared first: zeroed before inflateInit sees it
  bool ready_;
};

}  // namespace

bool ReadStoredPayload(IStream* stream, std::uint32_t unpackedLength,
                       std::span<std::uint8_t> pixels) {
  if (unpackedLength < pixels.size()) return false;
  if (!ReadAll(stream, pixels.data(), static_cast<std::uint32_t>(pixels.size()))) return false;
  return SkipBytes(stream, unpackedLength - pixels.size());
}

bool WholeInflationFits(std::uint32_t storedLength, std::uint32_t unpackedLength,
                        std::size_t pixelBytes) {
  return unpackedLength == pixelBytes && storedLength <= compressBound(unpackedLength);
}

bool InflatePayload(IStream* stream, std::uint32_t storedLength, std::uint32_t unpackedLength,
                    std::span<std::uint8_t> pixels) {
  if (WholeInflationFits(storedLength, unpackedLength, pixels.size()))
    return InflateWhole(stream, storedLength, pixels);
  return InflateInPieces(stream, storedLength, unpackedLength, pixels);
}

bool InflateInPieces(IStream* stream, std::uint32_t storedLength, std::uint32_t unpackedLength,
                     std::span<std::uint8_t> pixels) {
  if (unpackedLength < pixels.size()) return false;
  InflateStream inflation;
  if (!inflation.Ready()) return false;
  z_stream& z = inflation.Get();
  std::uint8_t input[kPieceSize];
  std::uint8_t dropped[kPieceSize];
  std::uint8_t overflow = 0;
  bool overflowArmed = false;              // next_out is `overflow`: any output there is too much
  std::uint32_t inputLeft = storedLength;  // payload bytes not yet read
  std::uint64_t outputLeft = unpackedLength - pixels.size();  // room past the pixels
  // Straight into the pixels: on failure they are left unspecified, and the
  // caller reports no thumbnail.
  z.next_out = pixels.data();
  z.avail_out = static_cast<uInt>(pixels.size());
  for (;;) {
    if (z.avail_in == 0) {
      if (inputLeft == 0) return false;  // the payload ends before the zlib stream
      const std::uint32_t wanted = std::min(inputLeft, kPieceSize);
      if (!ReadAll(stream, input, wanted)) return false;
      inputLeft -= wanted;
      z.next_in = input;
      z.avail_in = wanted;
    }
    if (z.avail_out == 0) {
      if (outputLeft == 0) {
        // All declared output is there, but the stream may still need input
        // to end (end-of-block code, Adler-32). One byte of room shows
        // whether it would produce more than declared.
        z.next_out = &overflow;
        z.avail_out = 1;
        overflowArmed = true;
      } else {
        const auto room = static_cast<uInt>(std::min<std::uint64_t>(outputLeft, kPieceSize));
        outputLeft -= room;
        z.next_out = dropped;
        z.avail_out = room;
      }
    }
    const int status = inflate(&z, Z_NO_FLUSH);
    if (overflowArmed && z.avail_out == 0) return false;  // more output than declared
    if (status == Z_STREAM_END) break;
    if (status == Z_BUF_ERROR && z.avail_in > 0 && z.avail_out > 0) return false;
    if (status != Z_OK && status != Z_BUF_ERROR) return false;
  }
  if (z.total_out < pixels.size()) return false;
  // The whole payload must be there, even past the end of the zlib stream.
  return SkipBytes(stream, inputLeft);
}

}  // namespace native
