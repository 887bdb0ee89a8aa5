#include "formats/tnw/thumbnail_blob.h"

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_decompressBound, ZSTD_getFrameHeader
#include <zstd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <sstream>

#include "bytes/little_endian.h"
#include "errors/errors.h"
#include "formats/tnw/stream_reader.h"
#include "formats/tnw/tnw_layout.h"

namespace tnw {
namespace {

constexpr std::size_t kZstdSizeBytes = 8;
// A payload up to this size is read whole, and its frames' bound checked
// before the sink is sized; a longer one is read in pieces.
constexpr std::size_t kWholePayloadBytes = std::size_t{4} << 20;
constexpr std::size_t kInputPiece = std::size_t{128} << 10;
constexpr std::size_t kDroppedPiece = std::size_t{128} << 10;

// Reads `count` bytes; false when the stream ends first.
bool ReadExactly(StreamReader& reader, std::uint8_t* buffer, std::uint64_t count) {
  constexpr std::uint64_t kPiece = 1u << 30;  // read() takes a signed 32-bit count
  while (count > 0) {
    const auto piece = static_cast<std::int32_t>(std::min(count, kPiece));
    if (reader.read(buffer, piece) != piece) return false;
    buffer += piece;
    count -= static_cast<std::uint64_t>(piece);
  }
  return true;
}

bool ReadRaw(StreamReader& reader, std::uint64_t pixelBytes, std::int32_t width,
             std::int32_t height, oxan::PictureSink& sink) {
  if (reader.length() - 1 < pixelBytes || !sink.Begin(width, height)) return false;
  for (std::span<std::uint8_t> room = sink.Room(); !room.empty(); room = sink.Room()) {
    if (!ReadExactly(reader, room.data(), room.size())) return false;
    sink.Filled(room.size());
  }
  return true;
}

// Decompresses every frame of the payload, read in pieces: the first
// pixelBytes of the content into the sink, the rest dropped. The whole
// content is decoded even past the pixels, so a longer content must be
// sound too, as when it was decompressed in one call.
bool ReadZstd(StreamReader& reader, std::uint64_t declared, DecompressorPool& pool,
              std::uint64_t pixelBytes, std::int32_t width, std::int32_t height,
              oxan::PictureSink& sink) {
  if (declared < pixelBytes || declared > kMaxBlobBytes) return false;
  std::uint64_t inputLeft = reader.length() - 1 - kZstdSizeBytes;
  if (inputLeft > kMaxBlobBytes) return false;
  const bool whole = inputLeft <= kWholePayloadBytes;
  const std::size_t inputSize = whole ? static_cast<std::size_t>(inputLeft) : kInputPiece;
  const std::unique_ptr<std::uint8_t[]> input(new (std::nothrow) std::uint8_t[inputSize + 1]);
  if (!input) return false;
  // The first piece (or the whole payload) is read before anything else is
  // allocated: the first frame's header must fit in it and its window within
  // the limit.
  const auto firstPiece =
      static_cast<std::size_t>(std::min<std::uint64_t>(inputLeft, inputSize));
  if (!ReadExactly(reader, input.get(), firstPiece)) return false;
  inputLeft -= firstPiece;
  ZSTD_inBuffer in{input.get(), firstPiece, 0};
  ZSTD_frameHeader header{};
  if (ZSTD_getFrameHeader(&header, input.get(), firstPiece) != 0 ||
      header.windowSize > (std::uint64_t{1} << kMaxZstdWindowLog))
    return false;
  if (whole) {
    const unsigned long long reach = ZSTD_decompressBound(input.get(), inputSize);
    if (reach == ZSTD_CONTENTSIZE_ERROR || reach < pixelBytes) return false;
  }
  const DecompressorPool::Lease context = pool.Take();
  if (!context.get()) return false;
  // Every later frame's window is held to the same limit by the decoder.
  ZSTD_DCtx_setParameter(context.get(), ZSTD_d_windowLogMax, kMaxZstdWindowLog);
  const std::unique_ptr<std::uint8_t[]> dropped(new (std::nothrow) std::uint8_t[kDroppedPiece]);
  if (!dropped || !sink.Begin(width, height)) return false;

  std::uint64_t produced = 0;
  std::size_t frameLeft = 0;  // 0 once the last frame begun is complete
  for (;;) {
    if (in.pos == in.size && inputLeft > 0) {
      const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(inputLeft, kInputPiece));
      if (!ReadExactly(reader, input.get(), piece)) return false;
      inputLeft -= piece;
      in = {input.get(), piece, 0};
    }
    const std::span<std::uint8_t> room =
        produced < pixelBytes ? sink.Room() : std::span<std::uint8_t>(dropped.get(), kDroppedPiece);
    ZSTD_outBuffer out{room.data(), room.size(), 0};
    const std::size_t consumed = in.pos;
    frameLeft = ZSTD_decompressStream(context.get(), &out, &in);
    if (ZSTD_isError(frameLeft)) return false;
    if (produced < pixelBytes) sink.Filled(out.pos);
    produced += out.pos;
    if (produced > declared) return false;
    // With the input used up, the decoder may still hold input to decode
    // and output to flush: it goes on while it makes progress, until the
    // frame is complete.
    const bool progress = out.pos > 0 || in.pos != consumed;
    if (in.pos == in.size && inputLeft == 0 && (frameLeft == 0 || !progress)) break;
  }
  return frameLeft == 0 && produced >= pixelBytes;
}

bool ReadBlob(pagestore::ReadablePageStore& store, std::int64_t vidx, DecompressorPool& pool,
              std::int32_t width, std::int32_t height, oxan::PictureSink& sink) {
  const std::uint64_t pixelBytes =
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4;
  StreamReader reader(store, vidx);
  std::uint8_t type = 0;
  if (reader.read(&type, 1) != 1) return false;
  if (type == kRawBlob) return ReadRaw(reader, pixelBytes, width, height, sink);
  std::uint8_t size[kZstdSizeBytes];
  if (reader.read(size, kZstdSizeBytes) != static_cast<std::int32_t>(kZstdSizeBytes)) return false;
  if (type != kZstdBlob) return false;
  return ReadZstd(reader, ReadLe64(size), pool, pixelBytes, width, height, sink);
}

}  // namespace

bool ReadThumbnailBlob(pagestore::ReadablePageStore& store, std::int64_t vidx,
                       DecompressorPool& pool, std::int32_t width, std::int32_t height,
                       oxan::PictureSink& sink) {
  try {
    return ReadBlob(store, vidx, pool, width, height, sink);
  } catch (const oxan::TNWError& error) {
    std::ostringstream text;
    text << error.what();
    store.describe(vidx, text);
    throw oxan::TNWError(text.str());
  }
}

}  // namespace tnw
