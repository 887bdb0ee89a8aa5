// The thumbnail's pixel blob: raw (type 255) or Zstandard (type 3) content of
// the logical stream at a vidx. The first width × height × 4 content bytes
// become the pixels of `picture`; a content that matches the picture's size
// is read or decompressed straight into it, so no second copy of the picture
// is ever held.
//
// Nothing is sized from a declared number before the file shows it can back
// it: the picture only once the raw content is long enough, or the Zstandard
// frames can reach its size (their headers and block count bound what they
// decompress to); a larger declared content only up to that bound. The
// stream's own length is bounded by the file (StreamReader).
//
// False, the blob being unreadable and `picture` unspecified: another type, a
// stream shorter than its header, a content (declared or decompressed)
// shorter than the pixels or longer than kMaxBlobBytes, frames that cannot
// reach the pixels, a Zstandard error, no memory. An oxan::TNWError from the
// blob's stream is thrown again with the store's describe text for the vidx
// appended.
#pragma once

#include <cstdint>

#include "formats/tnw/decompressor_pool.h"
#include "image/image32.h"
#include "pagestore/readable_page_store.h"

namespace tnw {

inline constexpr std::uint64_t kMaxBlobBytes = 0x7FFFFFFF;

bool ReadThumbnailBlob(pagestore::ReadablePageStore& store, std::int64_t vidx,
                       DecompressorPool& pool, std::int32_t width, std::int32_t height,
                       oxan::CImage32& picture);

}  // namespace tnw
