// The replication method of Resample, for destinations a whole multiple of
// the source in both directions (equal sizes included): each destination
// pixel takes the source pixel under its centre, 0 outside the source.
#pragma once

#include <cstdint>

#include "image/image32.h"
#include "resample/source_rows.h"

namespace oxan {

// The source row under the centre of destination row i; at or beyond the
// source's height when the centre falls below it.
std::int64_t SourceRow(std::int32_t i, std::int64_t stepY);

// Destination rows `rows`; `source` holds the source rows they read.
void Replicate(CImage32& destination, const SourceRows& source, RowRange rows);

}  // namespace oxan
