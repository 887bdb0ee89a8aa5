// Unpacking the thumbnail entry's payload from the stream, which stands just
// after the entry header. Memory stays bounded whatever the lengths say: the
// pixels go straight to their destination; a zlib stream is held whole only
// when its stored length is within what zlib could need for the pixels, and
// otherwise read in small pieces, bytes beyond the pixels being dropped
// though they must be there for the payload to be whole.
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
// which land in `pixels` (unspecified when false). Inflated in one call when
// WholeInflationFits, else piece by piece; both give the same outcome.
bool InflatePayload(IStream* stream, std::uint32_t storedLength, std::uint32_t unpackedLength,
                    std::span<std::uint8_t> pixels);

// True when the stream may be read whole and inflated in one call: it must
// produce exactly the pixels, and its stored bytes stay within zlib's bound
// for them (any stream a zlib writer makes of the pixels fits).
bool WholeInflationFits(std::uint32_t storedLength, std::uint32_t unpackedLength,
                        std::size_t pixelBytes);

// The two ways InflatePayload takes, for tests that hold them to the same
// outcome. InflateWhole expects unpackedLength == pixels.size().
bool InflateWhole(IStream* stream, std::uint32_t storedLength, std::span<std::uint8_t> pixels);
bool InflateInPieces(IStream* stream, std::uint32_t storedLength, std::uint32_t unpackedLength,
                     std::span<std::uint8_t> pixels);

}  // namespace native
