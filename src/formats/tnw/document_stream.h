// The page mapper's read function over the document's IStream: every call
// seeks to its absolute offset, then reads exactly `length` bytes. Throws
// ThumbError "Seek fail", "Read fail" or "Can't read enough". Refers to the
// stream without a reference of its own: the caller keeps it alive.
#pragma once

#include "pagestore/seek_page_mapper.h"
#include "platform/com.h"

namespace tnw {

pagestore::ReadFunction DocumentStreamReader(IStream* stream);

}  // namespace tnw
