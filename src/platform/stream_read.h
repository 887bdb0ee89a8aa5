// Reading from an IStream when only the byte count matters.
#pragma once

#include <cstdint>

#include "platform/com.h"

// Bytes read into `buffer` at the stream's position, up to `count`; 0 when
// the read fails.
inline std::uint32_t ReadSome(IStream* stream, void* buffer, std::uint32_t count) noexcept {
  ULONG read = 0;
  if (FAILED(stream->Read(buffer, count, &read))) return 0;
  return read < count ? read : count;
}

inline bool ReadAll(IStream* stream, void* buffer, std::uint32_t count) noexcept {
  return ReadSome(stream, buffer, count) == count;
}
