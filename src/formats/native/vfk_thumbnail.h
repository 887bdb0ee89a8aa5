// The loader of native documents (".vfk"): reads the container front to back
// from the stream's position, finds the entry that the XML header's "Thumb"
// element names, unpacks it and hands it to a sink, or fills an image with
// it.
//
// ReadVfkThumbnail: true when the sink took the stored thumbnail at its
// stored size (1 to 1024 pixels a side); false for anything else.
//
// LoadVfkThumbnail: true when the image holds the stored thumbnail. False
// for anything else: the image is untouched when the magic, the header or
// the sizes are wrong, the 64 × 64 placeholder checkerboard when the XML
// length is beyond its limit, and of the stored size with unspecified pixels
// when the entry cannot be had.
//
// Neither gives a message, nor throws for anything a document contains;
// only std::bad_alloc can leave.
#pragma once

#include "image/image32.h"
#include "image/picture_sink.h"
#include "platform/com.h"

bool ReadVfkThumbnail(oxan::PictureSink& sink, IStream* stream);
bool LoadVfkThumbnail(oxan::CImage32& image, IStream* stream);
