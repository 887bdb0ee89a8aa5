// Writes native documents (".vfk") for tests, examples and benchmarks: the
// container header, the XML text and PAC entries, each of which can be made
// wrong in one way through the overrides.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vfktest {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint32_t kStored = 0;
inline constexpr std::uint32_t kZlib = 1;

struct VfkEntry {
  std::string name;  // written into the 64-byte field, cut at 64
  std::uint32_t method = kStored;
  Bytes content;                                // before packing; zlib-compressed for kZlib
  std::optional<std::uint32_t> storedLength;    // default: the packed size
  std::optional<std::uint32_t> unpackedLength;  // default: content.size()
  std::array<std::uint8_t, 4> tag = {'P', 'A', 'C', ' '};
  std::optional<Bytes> packed;  // written as the payload instead of packing content
};

struct VfkDocument {
  std::array<std::uint8_t, 8> magic = {'l', 'o', 'r', 'p', 'a', 'c', 'k', 0};
  std::string xml;
  std::optional<std::uint32_t> xmlLength;  // default: xml.size()
  std::vector<VfkEntry> entries;
};

// <Lorapp><Thumb width=".." height=".." bin=".."/></Lorapp>; an attribute
// given as nullopt is left out.
std::string ThumbXml(std::optional<std::string> width, std::optional<std::string> height,
                     std::optional<std::string> bin);

// The words of a picture as bytes B, G, R, A.
Bytes PixelBytes(const std::vector<std::uint32_t>& pixels);

// A zlib stream (RFC 1950) of `content`.
Bytes Deflate(const Bytes& content, int level = 6);

Bytes WriteVfk(const VfkDocument& document);

// A well-formed document whose thumbnail entry "thumb" holds `pixels`
// (width × height words), stored or zlib-compressed, after one other entry.
VfkDocument ThumbnailDocument(std::int32_t width, std::int32_t height,
                              const std::vector<std::uint32_t>& pixels, std::uint32_t method);

}  // namespace vfktest
