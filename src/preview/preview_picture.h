// What the preview pane shows of a document, portable so that `vfkthumb
// --box` gives exactly the pane's pixels.
//
// The stored picture is read once and kept: as stored when neither side
// exceeds kPreviewKeepSide, else shrunk with the area resampler, as its rows
// arrive, to fit a kPreviewKeepSide square with its aspect kept. A pane is
// at most a screen wide, so this is a picture of the pane's order of size,
// never a stored one of gigabytes; a 4K monitor's pane still gets its
// device pixels.
//
// Drawn into a box of any size, the kept picture is fitted with its aspect
// kept, never enlarged, centred as thumbnails are, and laid over the
// background colour with its straight alpha: each channel becomes
// (c × a + bg × (255 − a) + 127) / 255. Only the picture's area is
// rendered; the rest of the box is the background colour.
#pragma once

#include <cstdint>

#include "image/image32.h"
#include "platform/com.h"
#include "provider/compose_thumbnail.h"
#include "provider/loader.h"

inline constexpr std::int32_t kPreviewKeepSide = 4096;

// Reads the stored picture into `kept` as above. False, `kept` left 1 × 1, when
// the loader fails (no thumbnail stored, damaged) or memory runs out; a
// damaged document asks for no information box. When
// given, `stored` receives the stored picture's size.
bool KeepPreviewPicture(Loader loader, IStream* stream, oxan::CImage32& kept,
                        StoredSize* stored = nullptr);

// Where the picture goes in a box: its area, inside the box. Empty (0 × 0)
// for an empty box or picture.
struct PreviewPlacement {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

PreviewPlacement PlacePreview(std::int32_t pictureWidth, std::int32_t pictureHeight,
                              std::int32_t boxWidth, std::int32_t boxHeight);

// The picture resampled to the placement's size and laid over `background`
// (0xRRGGBB): opaque words B, G, R, 255. False when memory runs out.
bool RenderPreviewPicture(const oxan::CImage32& kept, const PreviewPlacement& placement,
                          std::uint32_t background, oxan::CImage32& rendered);

// The whole box: the background with the rendered picture at its place.
// False when memory runs out.
bool RenderPreviewBox(const oxan::CImage32& kept, std::int32_t boxWidth, std::int32_t boxHeight,
                      std::uint32_t background, oxan::CImage32& box);
