// The loader of native documents (".vfk"): reads the container front to back
// from the stream's position, finds the entry that the XML header's "Thumb"
// element names, unpacks it and fills the image with it.
//
// True when the image holds the stored thumbnail at its stored size (1 to
// 1024 pixels a side). False for anything else, with no message: the image is
// untouched when the magic, the header or the sizes are wrong, the 64 × 64
// placeholder checkerboard when the XML length is beyond its limit, and of the
// stored size with unspecified pixels when the entry cannot be had. Never
// throws for anything a document contains; only std::bad_alloc can leave.
#pragma once

#include "image/image32.h"
#include "platform/com.h"

bool LoadVfkThumbnail(oxan::CImage32& image, IStream* stream);
