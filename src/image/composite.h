// Copying one image onto another at a position, clipped against both.
//
// Composite takes the region of w × h pixels at the source's (0, 0), clips
// it with ClipRegion and hands each row pair to the row function that
// SelectBlendRow picks for the blend parameters. Mode 0 copies all four
// channels unchanged, so transparent pixels stay transparent; no other mode
// is used by the system, and every mode is treated as a copy.
#pragma once

#include <cstdint>

#include "image/image32.h"

namespace oxan {

struct CopyRegion {
  std::int32_t srcX;
  std::int32_t srcY;
  std::int32_t width;
  std::int32_t height;
  std::int32_t dstX;
  std::int32_t dstY;
};

struct BlendParams {
  std::int32_t reserved = -1;  // not read by the compositor
  std::int32_t mode = 0;       // 0: copy
  std::uint8_t opacity = 255;  // 255: full strength; not read by the copy
};

inline constexpr std::int32_t kBlendCopy = 0;

using BlendRowFunction = void (*)(const BlendParams& params, std::uint32_t* dst,
                                  const std::uint32_t* src, std::int32_t count);

// Clips `region` against a sourceWidth × sourceHeight source and a
// destWidth × destHeight destination. False when nothing is left.
bool ClipRegion(std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t destWidth,
                std::int32_t destHeight, CopyRegion& region);

BlendRowFunction SelectBlendRow(const BlendParams& params);

// False, touching nothing, when the clipped region is empty.
bool Composite(CImage32& dst, const BlendParams& params, std::int32_t dstX, std::int32_t dstY,
               const CImage32& src, std::int32_t width, std::int32_t height);

}  // namespace oxan
