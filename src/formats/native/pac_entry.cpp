#include "formats/native/pac_entry.h"

#include <algorithm>
#include <cstring>

#include "bytes/little_endian.h"

namespace native {

bool ParsePacEntry(const std::uint8_t (&header)[kEntryHeaderSize], PacEntry& entry) {
  if (std::memcmp(header, kEntryTag, sizeof kEntryTag) != 0) return false;
  entry.method = ReadLe32(header + kMethodAt);
  entry.storedLength = ReadLe32(header + kStoredLengthAt);
  entry.unpackedLength = ReadLe32(header + kUnpackedLengthAt);
  const auto* name = reinterpret_cast<const char*>(header + kNameAt);
  entry.name = std::string_view(
      name, static_cast<std::size_t>(std::find(name, name + kNameSize, '\0') - name));
  return true;
}

}  // namespace native
