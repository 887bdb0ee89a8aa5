// Where a loader puts the picture it reads: first its size, then its bytes
// (words B, G, R, A; rows top first, without padding) written straight into
// room the sink hands out, so that a picture is never copied on its way.
//
// A picture of at most kWholeRoomBytes gets all its room at once from the
// first Room(): loaders that unpack in one call rely on that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/image32.h"

namespace oxan {

inline constexpr std::size_t kWholeRoomBytes = std::size_t{16} << 20;

class PictureSink {
 public:
  virtual ~PictureSink() = default;

  // The picture's size, sides at least 1 and fewer than 2^31 bytes in all;
  // false when the sink cannot take it (no memory), and the loader fails.
  virtual bool Begin(std::int32_t width, std::int32_t height) = 0;

  // Where the picture's next bytes go; empty once all of it is in.
  virtual std::span<std::uint8_t> Room() = 0;

  // The first `bytes` of the latest room now hold the picture's next bytes.
  virtual void Filled(std::size_t bytes) = 0;
};

// The picture whole, in `image`.
class ImageSink final : public PictureSink {
 public:
  explicit ImageSink(CImage32& image) noexcept : image_(image) {}

  bool Begin(std::int32_t width, std::int32_t height) override;
  std::span<std::uint8_t> Room() override;
  void Filled(std::size_t bytes) override { filled_ += bytes; }

 private:
  CImage32& image_;
  std::size_t filled_ = 0;
};

}  // namespace oxan
