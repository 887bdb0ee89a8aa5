// The loader of TNW documents (".vfq"): opens the file as a page store over
// the stream, verifies the document root, reads the thumbnail's pixel blob
// (raw or Zstandard) and fills the image with it.
//
// True when the image holds the stored thumbnail at its stored size. False
// with the image as it came when the first four bytes are not 't', 'n', 'w',
// 0 (or cannot be read), when the root cannot be read or verified or names no
// thumbnail, and when the blob is unreadable. Any other reading failure (of
// the standard runtime-error family) shows the information box "throw
// error!", leaves the 64 × 64 placeholder in the image and gives false.
// Other exceptions (std::bad_alloc) pass on to the caller.
#pragma once

#include "image/image32.h"
#include "platform/com.h"

bool LoadTnwThumbnail(oxan::CImage32& image, IStream* stream);
