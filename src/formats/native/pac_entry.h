// One PAC entry header of a native document (layout in vfk_layout.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "formats/native/vfk_layout.h"

namespace native {

struct PacEntry {
  std::uint32_t method;
  std::uint32_t storedLength;
  std::uint32_t unpackedLength;
  std::string_view name;  // points into the header bytes it was parsed from
};

// False when the header does not start with the tag.
bool ParsePacEntry(const std::uint8_t (&header)[kEntryHeaderSize], PacEntry& entry);

}  // namespace native
