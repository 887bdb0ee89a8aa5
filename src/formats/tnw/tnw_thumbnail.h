// The loader of TNW documents (".vfq"): opens the file as a page store over
// the stream, verifies the document root, reads the thumbnail's pixel blob
// (raw or Zstandard) and hands it to a sink, or fills an image with it.
//
// ReadTnwThumbnail: true when the sink took the stored thumbnail at its
// stored size. False when the first four bytes are not 't', 'n', 'w', 0 (or
// cannot be read), when the root cannot be read or verified or names no
// thumbnail, and when the blob is unreadable. Any other reading failure (of
// the standard runtime-error family) shows the information box "throw
// error!" and gives false. Other exceptions (std::bad_alloc) pass on to the
// caller.
//
// LoadTnwThumbnail: the same into `image`, which is left as it came on
// failure, but for the failures that show the box, which leave the 64 × 64
// placeholder in it.
#pragma once

#include "image/image32.h"
#include "image/picture_sink.h"
#include "platform/com.h"

bool ReadTnwThumbnail(oxan::PictureSink& sink, IStream* stream);
bool LoadTnwThumbnail(oxan::CImage32& image, IStream* stream);
