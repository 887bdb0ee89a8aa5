// Reading from an IStream when only the byte count matters.
#pragma once

#include <cstdint>
#include <optional>

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

// Bytes from the stream's position to its end, when Seek and Stat tell.
inline std::optional<std::uint64_t> BytesLeft(IStream* stream) noexcept {
  LARGE_INTEGER none{};
  ULARGE_INTEGER position{};
  STATSTG stat{};
  if (FAILED(stream->Seek(none, STREAM_SEEK_CUR, &position)) ||
      FAILED(stream->Stat(&stat, STATFLAG_NONAME)))
    return std::nullopt;
  if (position.QuadPart > stat.cbSize.QuadPart) return 0;
  return stat.cbSize.QuadPart - position.QuadPart;
}
