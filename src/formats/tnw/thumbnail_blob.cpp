#include "formats/tnw/thumbnail_blob.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <sstream>

#include "bytes/little_endian.h"
#include "errors/errors.h"
#include "formats/tnw/stream_reader.h"
#include "formats/tnw/tnw_layout.h"

namespace tnw {
namespace {

constexpr std::size_t kZstdSizeBytes = 8;

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

std::unique_ptr<std::uint8_t[]> Allocate(std::uint64_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow)
                                             std::uint8_t[static_cast<std::size_t>(size)]);
}

bool ReadRaw(StreamReader& reader, std::span<std::uint8_t> pixels) {
  if (reader.length() - 1 < pixels.size()) return false;
  return ReadExactly(reader, pixels.data(), pixels.size());
}

bool ReadZstd(StreamReader& reader, std::uint64_t declared, DecompressorPool& pool,
              std::span<std::uint8_t> pixels) {
  if (declared < pixels.size() || declared > kMaxBlobBytes) return false;
  const std::uint64_t payloadSize = reader.length() - 1 - kZstdSizeBytes;
  if (payloadSize > kMaxBlobBytes) return false;
  const std::unique_ptr<std::uint8_t[]> payload = Allocate(payloadSize);
  if (!payload || !ReadExactly(reader, payload.get(), payloadSize)) return false;
  if (declared == pixels.size())
    return pool.decompress(payload.get(), payloadSize, pixels.data(), pixels.size()) ==
           static_cast<std::ptrdiff_t>(pixels.size());
  const std::unique_ptr<std::uint8_t[]> content = Allocate(declared);
  if (!content) return false;
  const std::ptrdiff_t written =
      pool.decompress(payload.get(), payloadSize, content.get(), declared);
  if (written < static_cast<std::ptrdiff_t>(pixels.size())) return false;
  std::memcpy(pixels.data(), content.get(), pixels.size());
  return true;
}

bool ReadBlob(pagestore::ReadablePageStore& store, std::int64_t vidx, DecompressorPool& pool,
              std::span<std::uint8_t> pixels) {
  StreamReader reader(store, vidx);
  std::uint8_t type = 0;
  if (reader.read(&type, 1) != 1) return false;
  if (type == kRawBlob) return ReadRaw(reader, pixels);
  std::uint8_t size[kZstdSizeBytes];
  if (reader.read(size, kZstdSizeBytes) != static_cast<std::int32_t>(kZstdSizeBytes)) return false;
  if (type != kZstdBlob) return false;
  return ReadZstd(reader, ReadLe64(size), pool, pixels);
}

}  // namespace

bool ReadThumbnailBlob(pagestore::ReadablePageStore& store, std::int64_t vidx,
                       DecompressorPool& pool, std::span<std::uint8_t> pixels) {
  try {
    return ReadBlob(store, vidx, pool, pixels);
  } catch (const oxan::TNWError& error) {
    std::ostringstream text;
    text << error.what();
    store.describe(vidx, text);
    throw oxan::TNWError(text.str());
  }
}

}  // namespace tnw
