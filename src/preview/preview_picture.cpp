#include "preview/preview_picture.h"

#include <algorithm>
#include <optional>

#include "image/fit.h"
#include "image/picture_sink.h"
#include "platform/information_box.h"
#include "resample/resample.h"
#include "resample/row_resampler.h"

namespace {

// Takes a picture that fits the kept square as it is, and shrinks a larger
// one row by row.
class KeepingSink final : public oxan::PictureSink {
 public:
  explicit KeepingSink(oxan::CImage32& kept) noexcept : kept_(kept), whole_(kept) {}

  bool Begin(std::int32_t width, std::int32_t height) override {
    stored_ = {width, height};
    if (width <= kPreviewKeepSide && height <= kPreviewKeepSide) return whole_.Begin(width, height);
    oxan::FitRect fit{};
    oxan::FitSize(kPreviewKeepSide, kPreviewKeepSide, width, height, fit);
    const std::int32_t keptWidth = std::max(fit.width, 1);
    const std::int32_t keptHeight = std::max(fit.height, 1);
    if (!kept_.Resize(keptWidth, keptHeight) || kept_.Width() != keptWidth ||
        kept_.Height() != keptHeight)
      return false;
    shrinker_.emplace(kept_, width, height);
    return shrinker_->Ready();
  }
  std::span<std::uint8_t> Room() override { return shrinker_ ? shrinker_->Room() : whole_.Room(); }
  void Filled(std::size_t bytes) override {
    if (shrinker_) {
      shrinker_->Filled(bytes);
    } else {
      whole_.Filled(bytes);
    }
  }

  StoredSize Stored() const noexcept { return stored_; }

 private:
  oxan::CImage32& kept_;
  oxan::ImageSink whole_;
  std::optional<oxan::RowResampler> shrinker_;
  StoredSize stored_;
};

std::uint32_t OverBackground(std::uint32_t pixel, std::uint32_t background) {
  const std::uint32_t alpha = pixel >> 24;
  std::uint32_t result = 0xFF000000u;
  for (const int shift : {0, 8, 16}) {
    const std::uint32_t c = (pixel >> shift) & 0xFF;
    const std::uint32_t bg = (background >> shift) & 0xFF;
    result |= ((c * alpha + bg * (255 - alpha) + 127) / 255) << shift;
  }
  return result;
}

}  // namespace

bool KeepPreviewPicture(Loader loader, IStream* stream, oxan::CImage32& kept, StoredSize* stored) {
  const platform::NoInformationBoxesHere noBoxes;
  KeepingSink sink(kept);
  if (!loader(sink, stream)) {
    oxan::CImage32 none;
    kept.Swap(none);
    return false;
  }
  if (stored) *stored = sink.Stored();
  return true;
}

PreviewPlacement PlacePreview(std::int32_t pictureWidth, std::int32_t pictureHeight,
                              std::int32_t boxWidth, std::int32_t boxHeight) {
  if (pictureWidth < 1 || pictureHeight < 1 || boxWidth < 1 || boxHeight < 1) return {};
  PreviewPlacement placement{0, 0, pictureWidth, pictureHeight};
  if (pictureWidth > boxWidth || pictureHeight > boxHeight) {
    oxan::FitRect fit{};
    oxan::FitSize(boxWidth, boxHeight, pictureWidth, pictureHeight, fit);
    placement.width = std::clamp(fit.width, 1, boxWidth);
    placement.height = std::clamp(fit.height, 1, boxHeight);
  }
  placement.x = oxan::CentreOffset(boxWidth, placement.width);
  placement.y = oxan::CentreOffset(boxHeight, placement.height);
  return placement;
}

bool RenderPreviewPicture(const oxan::CImage32& kept, const PreviewPlacement& placement,
                          std::uint32_t background, oxan::CImage32& rendered) {
  if (!rendered.Resize(placement.width, placement.height) ||
      rendered.Width() != std::max(placement.width, 1) ||
      rendered.Height() != std::max(placement.height, 1))
    return false;
  oxan::Resample(rendered, kept);
  std::uint32_t* pixel = rendered.Pixels();
  std::uint32_t* const end = pixel + std::size_t(rendered.Width()) * std::size_t(rendered.Height());
  for (; pixel != end; ++pixel) *pixel = OverBackground(*pixel, background);
  return true;
}

bool RenderPreviewBox(const oxan::CImage32& kept, std::int32_t boxWidth, std::int32_t boxHeight,
                      std::uint32_t background, oxan::CImage32& box) {
  if (!box.Resize(boxWidth, boxHeight) || box.Width() != boxWidth || box.Height() != boxHeight)
    return false;
  std::fill_n(box.Pixels(), std::size_t(boxWidth) * std::size_t(boxHeight),
              0xFF000000u | background);
  const PreviewPlacement placement = PlacePreview(kept.Width(), kept.Height(), boxWidth, boxHeight);
  if (placement.width == 0) return true;
  oxan::CImage32 picture;
  if (!RenderPreviewPicture(kept, placement, background, picture)) return false;
  for (std::int32_t y = 0; y < placement.height; ++y)
    std::copy_n(picture.RowPointer(y), placement.width,
                box.RowPointer(placement.y + y) + placement.x);
  return true;
}
