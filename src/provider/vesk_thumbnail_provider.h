// The COM object the shell asks for one thumbnail: it takes the document
// stream (IInitializeWithStream) and answers a cx × cx 32-bit bitmap with
// straight alpha (IThumbnailProvider). The format is the loader bound at
// creation. One provider serves one request on one thread; it holds the
// module count for its whole life.
//
// States: empty → Initialize → initialised → GetThumbnail → used. A used
// provider, or one that holds a stream, refuses Initialize with
// HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED); GetThumbnail answers S_OK or
// S_FALSE and nothing else, lets no exception out, and runs the pipeline at
// most once.
#pragma once

#include "platform/com.h"
#include "provider/loader.h"

// Creates a provider with one reference for the caller, asked for `riid`.
// E_OUTOFMEMORY, or the QueryInterface result (the object is then gone).
HRESULT CreateVeskThumbnailProvider(Loader loader, REFIID riid, void** object) noexcept;
