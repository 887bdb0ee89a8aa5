#include "image/picture_sink.h"

namespace oxan {

bool ImageSink::Begin(std::int32_t width, std::int32_t height) {
  filled_ = 0;
  return image_.Resize(width, height) && image_.Width() == width && image_.Height() == height;
}

std::span<std::uint8_t> ImageSink::Room() {
  const std::size_t size = static_cast<std::size_t>(image_.Width()) *
                           static_cast<std::size_t>(image_.Height()) * sizeof(std::uint32_t);
  return {reinterpret_cast<std::uint8_t*>(image_.Pixels()) + filled_, size - filled_};
}

}  // namespace oxan
