// The thumbnail's pixel blob: raw (type 255) or Zstandard (type 3) content of
// the logical stream at a vidx. The first width × height × 4 content bytes
// are the picture's, handed to a sink as they are read or decompressed; the
// rest of a longer content is decompressed into a small buffer and dropped,
// so memory stays bounded whatever the sizes say (beyond what the sink holds:
// the input, whole up to 4 MiB and else in pieces, and the window a
// Zstandard frame asks for, at most 2^kMaxZstdWindowLog bytes).
//
// The sink is not sized before the blob shows it can back the picture as far
// as it can without decoding: a raw content long enough, a declared size
// within the limits, a payload held whole whose frames can reach the
// pixels (their headers and block count bound what they decompress to).
// The stream's own length is bounded by the file (StreamReader).
//
// False, the blob being unreadable and the sink's picture incomplete:
// another type, a stream shorter than its header, a content (declared or
// decompressed) shorter than the pixels or longer than kMaxBlobBytes, a
// decompressed content longer than declared, frames cut short, a frame
// declaring a window beyond 2^kMaxZstdWindowLog bytes (the first frame's is
// refused before the sink is sized, a later one's before its window is
// allocated), a Zstandard error, a sink that cannot take the size, no
// memory. An oxan::TNWError from
// the blob's stream is thrown again with the store's describe text for the
// vidx appended.
#pragma once

#include <cstdint>

#include "formats/tnw/decompressor_pool.h"
#include "image/picture_sink.h"
#include "pagestore/readable_page_store.h"

namespace tnw {

inline constexpr std::uint64_t kMaxBlobBytes = 0x7FFFFFFF;
// The largest window a frame may declare: a streaming decoder holds the
// whole window. 27 is the limit of every default Zstandard decoder.
inline constexpr int kMaxZstdWindowLog = 27;

bool ReadThumbnailBlob(pagestore::ReadablePageStore& store, std::int64_t vidx,
                       DecompressorPool& pool, std::int32_t width, std::int32_t height,
                       oxan::PictureSink& sink);

}  // namespace tnw
