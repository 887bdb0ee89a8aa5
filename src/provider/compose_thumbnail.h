// The portable core of a thumbnail request: load the stored picture with the
// format's loader, fit it into a cx × cx square with its aspect kept (small
// pictures are enlarged), resample it and copy it centred onto a transparent
// square. The picture is resampled as its rows arrive, so the memory it
// takes is bounded by the square, not by the stored picture. Touches the
// stream only through the loader; keeps no state.
#pragma once

#include <cstdint>

#include "image/image32.h"
#include "platform/com.h"
#include "provider/loader.h"

// The square's side for an edge length: cx, or the largest image side when cx
// is beyond it (such a square cannot be had, and the bitmap is refused).
std::int32_t SquareSide(std::uint32_t cx);

// The size of the picture stored in the document.
struct StoredSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// `canvas` becomes the cx × cx square (1 × 1 when that size cannot be had):
// the fitted picture centred on it, 0 around it. False when the loader
// reports failure; the canvas is then all 0. When given, `stored` receives
// the loaded picture's size.
bool ComposeThumbnail(Loader loader, IStream* stream, std::uint32_t cx, oxan::CImage32& canvas,
                      StoredSize* stored = nullptr);
