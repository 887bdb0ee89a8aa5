// On-disk layout of a TNW page store, as the reader sees it. Pages are 64 KiB;
// page fidx starts at byte fidx × 65536. Integers are unsigned 64-bit
// little-endian unless said otherwise, read byte by byte.
//
// Header page (pages 0 and 1, two copies; the larger generation wins):
// | offset | size        | field          | meaning                         |
// | 0      | 4           | magic          | 't', 'n', 'w', 0 (file start)   |
// | 4      | 8           | generation     | signed                          |
// | 12     | 8           | -              | not interpreted                 |
// | 20     | 8           | firstTablePage | fidx of table page 0; 0 = none  |
// | 28     | 4094 × 16   | entries        | entry i resolves vidx i         |
// | 65532  | 4           | -              | not interpreted                 |
//
// Table page:
// | 0      | 8           | -              | not interpreted                 |
// | 8      | 8           | nextTablePage  | fidx of the next one; 0 = last  |
// | 16     | 4095 × 16   | entries        | entry c of table page k         |
// |        |             |                | resolves vidx 4094 + 4095k + c  |
//
// Entry (16 bytes): 8 bytes not interpreted, then fidx (0 = no page).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pagestore {

inline constexpr std::size_t kPageSize = 0x10000;
inline constexpr std::size_t kGenerationAt = 4;
inline constexpr std::size_t kFirstTablePageAt = 20;
inline constexpr std::size_t kHeaderEntriesAt = 28;
inline constexpr std::int64_t kHeaderEntries = 4094;  // vidx 0 … 4093
inline constexpr std::size_t kNextTablePageAt = 8;
inline constexpr std::size_t kTableEntriesAt = 16;
inline constexpr std::int64_t kTableEntries = 4095;
inline constexpr std::size_t kEntrySize = 16;
inline constexpr std::size_t kFidxInEntry = 8;
inline constexpr std::uint64_t kFirstDataPage = 2;  // pages 0 and 1 are headers

// Every entry, and the fidx inside it, lies within its page.
static_assert(kHeaderEntriesAt + kHeaderEntries * kEntrySize + 4 == kPageSize);
static_assert(kTableEntriesAt + kTableEntries * kEntrySize == kPageSize);
static_assert(kFidxInEntry + 8 <= kEntrySize);
static_assert(kFirstTablePageAt + 8 <= kHeaderEntriesAt);

}  // namespace pagestore
