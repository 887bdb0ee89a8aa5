// Requests that make VfkThumbDll.dll take blocks from its allocator's pools:
// a document whose picture and thumbnails are of the pooled block sizes.
#pragma once

#include <cstdint>
#include <vector>

#include "loaded_server.h"

// A 64 × 64 picture (16 KiB, a pooled size) in a ".vfk" document.
std::vector<std::uint8_t> PooledDocument();

// One request at each pooled side (64 and 128: 16 KiB and 64 KiB canvases)
// through the library's own class factory; true when every one made a bitmap.
bool ThumbnailAtPooledSides(const LoadedServer& server, const std::vector<std::uint8_t>& document);
