#include "image/composite.h"

#include <cstring>

namespace oxan {
namespace {

// Sums in 64 bits, so no position or size makes the comparisons overflow.
std::int64_t Sum(std::int32_t a, std::int32_t b) { return std::int64_t{a} + b; }

// Moves a negative start to 0, shifting the paired start and shrinking the
// extent by the same amount.
void ClampStart(std::int32_t& start, std::int32_t& paired, std::int32_t& extent) {
  if (start < 0) {
    paired -= start;
    extent += start;
    start = 0;
  }
}

void CopyRow(const BlendParams&, std::uint32_t* dst, const std::uint32_t* src, std::int32_t count) {
  std::memcpy(dst, src, static_cast<std::size_t>(count) * sizeof(std::uint32_t));
}

}  // namespace

bool ClipRegion(std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t destWidth,
                std::int32_t destHeight, CopyRegion& r) {
  if (Sum(r.dstX, r.width) <= 0 || Sum(r.dstY, r.height) <= 0 || r.dstX >= destWidth ||
      r.dstY >= destHeight || r.srcX >= sourceWidth || r.srcY >= sourceHeight ||
      Sum(r.srcX, r.width) < 0 || Sum(r.srcY, r.height) < 0) {
    return false;
  }
  if (Sum(r.srcX, r.width) >= sourceWidth) r.width = sourceWidth - r.srcX;
  if (Sum(r.srcY, r.height) >= sourceHeight) r.height = sourceHeight - r.srcY;
  ClampStart(r.srcX, r.dstX, r.width);
  ClampStart(r.srcY, r.dstY, r.height);
  ClampStart(r.dstX, r.srcX, r.width);
  ClampStart(r.dstY, r.srcY, r.height);
  if (Sum(r.dstX, r.width) > destWidth) r.width = destWidth - r.dstX;
  if (Sum(r.dstY, r.height) > destHeight) r.height = destHeight - r.dstY;
  return r.width >= 1 && r.height >= 1;
}

BlendRowFunction SelectBlendRow(const BlendParams&) { return &CopyRow; }

bool Composite(CImage32& dst, const BlendParams& params, std::int32_t dstX, std::int32_t dstY,
               const CImage32& src, std::int32_t width, std::int32_t height) {
  CopyRegion region{0, 0, width, height, dstX, dstY};
  if (!ClipRegion(src.Width(), src.Height(), dst.Width(), dst.Height(), region)) return false;
  const BlendRowFunction blendRow = SelectBlendRow(params);
  for (std::int32_t i = 0; i < region.height; ++i) {
    const std::uint32_t* srcRow = src.RowPointer(region.srcY + i);
    std::uint32_t* dstRow = dst.RowPointer(region.dstY + i);
    if (srcRow && dstRow)
      blendRow(params, dstRow + region.dstX, srcRow + region.srcX, region.width);
  }
  return true;
}

}  // namespace oxan
