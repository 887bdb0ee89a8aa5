// The document root: the FlatBuffers buffer in the logical stream at vidx 0,
// verified against the document schema with the verifier's default settings
// before anything is taken from it.
#pragma once

#include <cstdint>
#include <memory>

#include "pagestore/readable_page_store.h"

namespace tnw {

// The root stream's bytes, verified. Throws oxan::TNWError "Fail to alloc"
// or "Wrong binary format" (also for fewer than 12 bytes or more than
// 2^31 − 1), or what the stream reader throws.
std::unique_ptr<std::uint8_t[]> ReadDocumentRoot(pagestore::ReadablePageStore& store);

}  // namespace tnw
