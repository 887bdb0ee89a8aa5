// Telling a document's format from its first bytes, whatever its name.
#pragma once

#include "platform/com.h"
#include "provider/loader.h"

namespace vfkthumb {

// The loader for the document in `stream`, or null when the first bytes are
// no format we read. The stream is left at its start.
Loader LoaderForDocument(IStream* stream);

}  // namespace vfkthumb
