// Unpacking the thumbnail entry's payload from the stream, which stands just
// after the entry header. Memory stays bounded whatever the lengths say: the
// pixels go straight to their destination, and bytes beyond them are read in
// small pieces and dropped, though they must be there for the payload to be
// whole.
#pragma once

#include <cstdint>
#include <span>

#include "platform/com.h"

namespace native {

// A stored payload of `unpackedLength` bytes (at least pixels.size()): its
// first pixels.size() bytes land in `pixels`. False on a short read.
bool ReadStoredPayload(IStream* stream, std::uint32_t unpackedLength,
                       std::span<std::uint8_t> pixels);

// A zlib stream in `storedLength` bytes that must end within
// `unpackedLength` output bytes and give at least pixels.size() of them,
// which land in `pixels` (unspecified when false).
bool InflatePayload(IStream* stream, std::uint32_t storedLength, std::uint32_t unpackedLength,
                    std::span<std::uint8_t> pixels);

}  // namespace native
