#include "formats/tnw/thumbnail_blob.h"

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_decompressBound
#include <zstd.h>

#include <algorithm>
#include <cstring>
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

std::unique_ptr<std::uint8_t[]> Allocate(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

// The picture's pixels as bytes, once it has its size; empty when it could
// not get it.
std::span<std::uint8_t> SizePicture(oxan::CImage32& picture, std::int32_t width,
                                    std::int32_t height) {
  if (!picture.Resize(width, height)) return {};
  return {reinterpret_cast<std::uint8_t*>(picture.Pixels()),
          static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4};
}

bool ReadRaw(StreamReader& reader, std::uint64_t pixelBytes, std::int32_t width,
             std::int32_t height, oxan::CImage32& picture) {
  if (reader.length() - 1 < pixelBytes) return false;
  const std::span<std::uint8_t> pixels = SizePicture(picture, width, height);
  return !pixels.empty() && ReadExactly(reader, pixels.data(), pixels.size());
}

bool ReadZstd(StreamReader& reader, std::uint64_t declared, DecompressorPool& pool,
              std::uint64_t pixelBytes, std::int32_t width, std::int32_t height,
              oxan::CImage32& picture) {
  if (declared < pixelBytes || declared > kMaxBlobBytes) return false;
  const std::uint64_t payloadSize = reader.length() - 1 - kZstdSizeBytes;
  if (payloadSize > kMaxBlobBytes) return false;
  // Sizes here are at most kMaxBlobBytes, which size_t holds in every build.
  const auto payloadBytes = static_cast<std::size_t>(payloadSize);
  const std::unique_ptr<std::uint8_t[]> payload = Allocate(payloadBytes);
  if (!payload || !ReadExactly(reader, payload.get(), payloadSize)) return false;
  const unsigned long long reach = ZSTD_decompressBound(payload.get(), payloadBytes);
  if (reach == ZSTD_CONTENTSIZE_ERROR || reach < pixelBytes) return false;

  const std::span<std::uint8_t> pixels = SizePicture(picture, width, height);
  if (pixels.empty()) return false;
  if (declared == pixelBytes)
    return pool.decompress(payload.get(), payloadBytes, pixels.data(), pixels.size()) ==
           static_cast<std::ptrdiff_t>(pixels.size());
  // Room for what the frames can give, up to the declared size: the same
  // outcome as room for the declared size.
  const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(declared, reach));
  const std::unique_ptr<std::uint8_t[]> content = Allocate(room);
  if (!content) return false;
  const std::ptrdiff_t written = pool.decompress(payload.get(), payloadBytes, content.get(), room);
  if (written < static_cast<std::ptrdiff_t>(pixels.size())) return false;
  std::memcpy(pixels.data(), content.get(), pixels.size());
  return true;
}

bool ReadBlob(pagestore::ReadablePageStore& store, std::int64_t vidx, DecompressorPool& pool,
              std::int32_t width, std::int32_t height, oxan::CImage32& picture) {
  const std::uint64_t pixelBytes =
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4;
  StreamReader reader(store, vidx);
  std::uint8_t type = 0;
  if (reader.read(&type, 1) != 1) return false;
  if (type == kRawBlob) return ReadRaw(reader, pixelBytes, width, height, picture);
  std::uint8_t size[kZstdSizeBytes];
  if (reader.read(size, kZstdSizeBytes) != static_cast<std::int32_t>(kZstdSizeBytes)) return false;
  if (type != kZstdBlob) return false;
  return ReadZstd(reader, ReadLe64(size), pool, pixelBytes, width, height, picture);
}

}  // namespace

bool ReadThumbnailBlob(pagestore::ReadablePageStore& store, std::int64_t vidx,
                       DecompressorPool& pool, std::int32_t width, std::int32_t height,
                       oxan::CImage32& picture) {
  try {
    return ReadBlob(store, vidx, pool, width, height, picture);
  } catch (const oxan::TNWError& error) {
    std::ostringstream text;
    text << error.what();
    store.describe(vidx, text);
    throw oxan::TNWError(text.str());
  }
}

}  // namespace tnw
