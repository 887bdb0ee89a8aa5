// Logical streams and blobs of a TNW document, on top of the page store.
// Integers are little-endian, read byte by byte.
//
// Stream head page (at the stream's own vidx):
// | offset | size     | field     | meaning                                 |
// | 0      | 1        | kind      | 1 inline, anything else paged           |
// | 1      | 8        | length    | stream length in bytes                  |
// | 9      | …        | content   | inline: the stream's bytes              |
// | 9      | 8        | nextVidx  | paged: first index page, or −1 for none |
// | 17     | 8189 × 8 | page list | paged: vidx of data page i              |
//
// Index page:
// | 0      | 8        | nextVidx  | next index page, or −1                  |
// | 8      | 8191 × 8 | page list | entry j of index page n is data page    |
// |        |          |           | 8189 + 8191n + j                        |
//
// A paged stream's byte p is byte p mod 65536 of data page p / 65536.
//
// Blob (a stream's content from its start):
// | 0      | 1        | type      | 255 raw, 3 Zstandard                    |
// | 1      | 8        | size      | type 3: size after decompression        |
// | 1 / 9  | rest     | payload   | the content, or Zstandard frames        |
#pragma once

#include <cstddef>
#include <cstdint>

#include "pagestore/page_layout.h"

namespace tnw {

inline constexpr std::uint8_t kMagic[4] = {'t', 'n', 'w', 0};

inline constexpr std::size_t kKindAt = 0;
inline constexpr std::uint8_t kInlineKind = 1;
inline constexpr std::size_t kLengthAt = 1;
inline constexpr std::size_t kInlineContentAt = 9;
inline constexpr std::size_t kNextVidxAt = 9;
inline constexpr std::size_t kHeadPageListAt = 17;
inline constexpr std::int64_t kHeadPageListEntries = 8189;
inline constexpr std::size_t kIndexNextVidxAt = 0;
inline constexpr std::size_t kIndexPageListAt = 8;
inline constexpr std::int64_t kIndexPageListEntries = 8191;
inline constexpr std::int64_t kNoNextVidx = -1;
inline constexpr std::size_t kDiagnosticHeadBytes = 64;

inline constexpr std::uint8_t kRawBlob = 255;
inline constexpr std::uint8_t kZstdBlob = 3;

// Page lists lie within their pages; an inline stream fits its head page.
static_assert(kHeadPageListAt + kHeadPageListEntries * 8 <= pagestore::kPageSize);
static_assert(kIndexPageListAt + kIndexPageListEntries * 8 == pagestore::kPageSize);
inline constexpr std::uint64_t kInlineCapacity = pagestore::kPageSize - kInlineContentAt;

}  // namespace tnw
