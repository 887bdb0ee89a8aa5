// The native document container, as far as the thumbnail loader reads it.
// All integers are 32-bit unsigned, little-endian.
//
// Container header, then the XML text, then PAC entries to the end of file:
// | offset | size      | field     | meaning                                   |
// | 0      | 8         | magic     | "lorpack" and a zero byte                 |
// | 8      | 4         | -         | not interpreted                           |
// | 12     | 4         | xmlLength | byte length of the XML text               |
// | 16     | 4         | -         | not interpreted                           |
// | 20     | xmlLength | XML       | "Lorapp" root, "Thumb" child with the     |
// |        |           |           | attributes "width", "height" and "bin"    |
//
// PAC entry: a 132-byte header, then storedLength payload bytes:
// | offset | size | field          | meaning                                 |
// | 0      | 4    | tag            | "PAC "                                  |
// | 4      | 4    | -              | not interpreted                         |
// | 8      | 4    | method         | 0 stored, 1 zlib stream (RFC 1950)      |
// | 12     | 4    | storedLength   | payload bytes that follow the header    |
// | 16     | 4    | unpackedLength | payload bytes after unpacking           |
// | 20     | 48   | -              | not interpreted                         |
// | 68     | 64   | name           | bytes up to the first zero byte (all 64 |
// |        |      |                | when there is none)                     |
//
// The thumbnail payload is width × height pixels of 4 bytes (B, G, R, A), top
// row first: the pixel store of an oxan::CImage32.
#pragma once

#include <cstddef>
#include <cstdint>

namespace native {

inline constexpr std::uint8_t kMagic[8] = {'l', 'o', 'r', 'p', 'a', 'c', 'k', 0};
inline constexpr std::size_t kHeaderSize = 20;
inline constexpr std::size_t kXmlLengthAt = 12;
inline constexpr std::uint32_t kXmlLengthLimit = 0xA00000;  // lengths from here on are refused
// The largest XML tree parsed; a text beyond any of these gets no thumbnail.
// Documents nest a few levels, give an element a few dozen attributes and
// describe each layer in a handful of nodes. TinyXML recurses once per
// level (in parsing and in destroying its tree), checks each attribute
// against the earlier ones of its element (at most 1000 × 100,000 / 2 name
// comparisons in all) and takes about 250 bytes a node (25 MiB).
inline constexpr std::size_t kMaxXmlNesting = 256;
inline constexpr std::size_t kMaxXmlAttributes = 1000;  // on one element
inline constexpr std::size_t kMaxXmlNodes = 100000;

inline constexpr std::size_t kEntryHeaderSize = 132;
inline constexpr std::uint8_t kEntryTag[4] = {'P', 'A', 'C', ' '};
inline constexpr std::size_t kMethodAt = 8;
inline constexpr std::size_t kStoredLengthAt = 12;
inline constexpr std::size_t kUnpackedLengthAt = 16;
inline constexpr std::size_t kNameAt = 68;
inline constexpr std::size_t kNameSize = 64;
inline constexpr std::uint32_t kMethodStored = 0;
inline constexpr std::uint32_t kMethodZlib = 1;

inline constexpr std::int32_t kMinSide = 1;
inline constexpr std::int32_t kMaxSide = 1024;

static_assert(sizeof kMagic + 12 == kHeaderSize);
static_assert(kXmlLengthAt + 4 <= kHeaderSize);
static_assert(kUnpackedLengthAt + 4 <= kNameAt);
static_assert(kNameAt + kNameSize == kEntryHeaderSize);

}  // namespace native
