#include "provider/compose_thumbnail.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

#include "image/composite.h"
#include "image/fit.h"
#include "image/row_resampler.h"

namespace {

void Clear(oxan::CImage32& image) {
  std::memset(image.Pixels(), 0,
              static_cast<std::size_t>(image.Width()) * static_cast<std::size_t>(image.Height()) *
                  sizeof(std::uint32_t));
}

// Fits the stored picture into the square once its size is known, and
// resamples its rows to the fitted size as they arrive.
class FittingSink final : public oxan::PictureSink {
 public:
  explicit FittingSink(std::int32_t side) noexcept : side_(side) {}

  bool Begin(std::int32_t width, std::int32_t height) override {
    stored_ = {width, height};
    oxan::FitRect fit{};
    oxan::FitSize(side_, side_, width, height, fit);
    const std::int32_t scaledWidth = std::max(fit.width, 1);
    const std::int32_t scaledHeight = std::max(fit.height, 1);
    if (!scaled_.Resize(scaledWidth, scaledHeight) || scaled_.Width() != scaledWidth ||
        scaled_.Height() != scaledHeight)
      return false;
    resampler_.emplace(scaled_, width, height);
    return resampler_->Ready();
  }
  std::span<std::uint8_t> Room() override { return resampler_->Room(); }
  void Filled(std::size_t bytes) override { resampler_->Filled(bytes); }

  StoredSize Stored() const noexcept { return stored_; }
  const oxan::CImage32& Scaled() const noexcept { return scaled_; }

 private:
  const std::int32_t side_;
  StoredSize stored_;
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
  Clear(canvas);

  FittingSink sink(side);
  if (!loader(sink, stream)) return false;
  if (stored) *stored = sink.Stored();

  const oxan::CImage32& scaled = sink.Scaled();
  const std::int32_t dx = oxan::CentreOffset(side, scaled.Width());
  const std::int32_t dy = oxan::CentreOffset(side, scaled.Height());
  oxan::Composite(canvas, oxan::BlendParams{}, dx, dy, scaled, scaled.Width(), scaled.Height());
  return true;
}
