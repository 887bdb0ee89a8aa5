#include "provider/compose_thumbnail.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

#include "image/composite.h"
#include "image/fit.h"
#include "resample/row_resampler.h"

namespace {

// Sets rows [top, bottom) × columns [left, right) of `image` to 0.
void ClearArea(oxan::CImage32& image, std::int32_t left, std::int32_t top, std::int32_t right,
               std::int32_t bottom) {
  left = std::clamp(left, 0, image.Width());
  right = std::clamp(right, left, image.Width());
  top = std::clamp(top, 0, image.Height());
  bottom = std::clamp(bottom, top, image.Height());
  for (std::int32_t y = top; y < bottom; ++y)
    std::memset(image.RowPointer(y) + left, 0,
                static_cast<std::size_t>(right - left) * sizeof(std::uint32_t));
}

void Clear(oxan::CImage32& image) { ClearArea(image, 0, 0, image.Width(), image.Height()); }

// Fits the stored picture into the square once its size is known, and
// resamples its rows to the fitted size as they arrive: straight into the
// square when the fitted picture fills it, else into a picture of its own.
class FittingSink final : public oxan::PictureSink {
 public:
  // `square` is side × side, or 1 × 1 when that size could not be had.
  FittingSink(oxan::CImage32& square, std::int32_t side) noexcept : square_(square), side_(side) {}

  bool Begin(std::int32_t width, std::int32_t height) override {
    stored_ = {width, height};
    oxan::FitRect fit{};
    oxan::FitSize(side_, side_, width, height, fit);
    const std::int32_t scaledWidth = std::max(fit.width, 1);
    const std::int32_t scaledHeight = std::max(fit.height, 1);
    fills_ = scaledWidth == square_.Width() && scaledHeight == square_.Height() &&
             square_.Width() == side_;
    if (!fills_ && (!scaled_.Resize(scaledWidth, scaledHeight) || scaled_.Width() != scaledWidth ||
                    scaled_.Height() != scaledHeight))
      return false;
    resampler_.emplace(fills_ ? square_ : scaled_, width, height);
    return resampler_->Ready();
  }
  std::span<std::uint8_t> Room() override { return resampler_->Room(); }
  void Filled(std::size_t bytes) override { resampler_->Filled(bytes); }

  StoredSize Stored() const noexcept { return stored_; }

  // Puts the fitted picture centred on the square, the rest of it 0.
  void Centre() {
    if (fills_) return;
    const std::int32_t dx = oxan::CentreOffset(side_, scaled_.Width());
    const std::int32_t dy = oxan::CentreOffset(side_, scaled_.Height());
    const std::int32_t right = dx + scaled_.Width(), bottom = dy + scaled_.Height();
    ClearArea(square_, 0, 0, square_.Width(), dy);
    ClearArea(square_, 0, dy, dx, bottom);
    ClearArea(square_, right, dy, square_.Width(), bottom);
    ClearArea(square_, 0, bottom, square_.Width(), square_.Height());
    oxan::Composite(square_, oxan::BlendParams{}, dx, dy, scaled_, scaled_.Width(),
                    scaled_.Height());
  }

 private:
  oxan::CImage32& square_;
  const std::int32_t side_;
  StoredSize stored_;
  bool fills_ = false;
  oxan::CImage32 scaled_;
  std::optional<oxan::RowResampler> resampler_;  // after scaled_: it writes there
};

}  // namespace

std::int32_t SquareSide(std::uint32_t cx) {
  return static_cast<std::int32_t>(
      std::min<std::uint32_t>(cx, std::numeric_limits<std::int32_t>::max()));
}

bool ComposeThumbnail(Loader loader, IStream* stream, std::uint32_t cx, oxan::CImage32& canvas,
                      StoredSize* stored) {
  const std::int32_t side = SquareSide(cx);
  canvas.Resize(side, side);

  FittingSink sink(canvas, side);
  if (!loader(sink, stream)) {
    Clear(canvas);
    return false;
  }
  if (stored) *stored = sink.Stored();
  sink.Centre();
  return true;
}
