// The thumbnail's pixel blob: raw (type 255) or Zstandard (type 3) content of
// the logical stream at a vidx. The first pixels.size() content bytes land in
// `pixels` (unspecified when false); a content that matches the picture's
// size is read or decompressed straight into it, so no second copy of the
// picture is ever held.
//
// False, the blob being unreadable: another type, a stream shorter than its
// header, a content (declared or decompressed) shorter than the pixels or
// longer than kMaxBlobBytes, a Zstandard error, no memory. An
// oxan::TNWError from the blob's stream is thrown again with the store's
// describe text for the vidx appended.
#pragma once

#include <cstdint>
#include <span>

#include "formats/tnw/decompressor_pool.h"
#include "pagestore/readable_page_store.h"

namespace tnw {

inline constexpr std::uint64_t kMaxBlobBytes = 0x7FFFFFFF;

bool ReadThumbnailBlob(pagestore::ReadablePageStore& store, std::int64_t vidx,
                       DecompressorPool& pool, std::span<std::uint8_t> pixels);

}  // namespace tnw
