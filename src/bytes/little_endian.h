// Little-endian integers read byte by byte from untrusted buffers, so no
// alignment or host byte order is assumed.
#pragma once

#include <cstdint>

inline std::uint32_t ReadLe32(const std::uint8_t* p) noexcept {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

inline std::uint64_t ReadLe64(const std::uint8_t* p) noexcept {
  return std::uint64_t{ReadLe32(p)} | std::uint64_t{ReadLe32(p + 4)} << 32;
}
