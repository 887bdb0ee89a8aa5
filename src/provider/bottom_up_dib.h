// The bitmap handed to the shell: a cx × cx, 32 bits per pixel, BI_RGB,
// bottom-up device-independent bitmap of the square. Memory row k holds
// square row cx − 1 − k; each pixel is the bytes B, G, R, A of its word,
// straight alpha, unchanged.
#pragma once

#include <cstdint>

#include "image/image32.h"
#include "platform/com.h"
#include "platform/unique_resource.h"

// Header of a cx × cx bottom-up DIB (positive height, no colour table).
BITMAPINFOHEADER BottomUpDibHeader(std::int32_t cx);

// Writes cx rows of cx × 4 bytes into `bits`, bottom row first. A pixel
// outside the square's actual size (a square that did not get cx × cx) is 0.
void CopyBottomUp(const oxan::CImage32& square, std::int32_t cx, std::uint8_t* bits);

// A DIB section holding the square; null when GDI refuses it (a side of 0,
// no memory).
UniqueHBitmap MakeBottomUpDib(const oxan::CImage32& square, std::int32_t cx);
