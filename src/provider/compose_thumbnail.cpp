#include "provider/compose_thumbnail.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "image/composite.h"
#include "image/fit.h"
#include "image/resample.h"

namespace {

void Clear(oxan::CImage32& image) {
  std::memset(image.Pixels(), 0,
              static_cast<std::size_t>(image.Width()) * static_cast<std::size_t>(image.Height()) *
                  sizeof(std::uint32_t));
}

}  // namespace

std::int32_t SquareSide(std::uint32_t cx) {
  return static_cast<std::int32_t>(
      std::min<std::uint32_t>(cx, std::numeric_limits<std::int32_t>::max()));
}

bool ComposeThumbnail(Loader loader, IStream* stream, std::uint32_t cx, oxan::CImage32& canvas,
                      StoredSize* stored) {
  const std::int32_t side = SquareSide(cx);
  canvas.Resize(side, side);
  Clear(canvas);

  oxan::CImage32 loaded;
  if (!loader(loaded, stream)) return false;
  if (stored) *stored = {loaded.Width(), loaded.Height()};

  oxan::FitRect fit{};
  oxan::FitSize(side, side, loaded.Width(), loaded.Height(), fit);
  oxan::CImage32 scaled;
  if (fit.width != scaled.Width() || fit.height != scaled.Height())
    scaled.Resize(std::max(fit.width, 1), std::max(fit.height, 1));
  oxan::Resample(scaled, loaded);

  const std::int32_t dx = oxan::CentreOffset(side, scaled.Width());
  const std::int32_t dy = oxan::CentreOffset(side, scaled.Height());
  oxan::Composite(canvas, oxan::BlendParams{}, dx, dy, scaled, scaled.Width(), scaled.Height());
  return true;
}
