// Sole owner of one platform handle. Traits supply Handle, Invalid() and
// Close(); Close runs once, when the owner is destroyed or reset.
#pragma once

#include <utility>

#include "platform/com.h"

template <typename Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() noexcept = default;
  explicit UniqueResource(Handle h) noexcept : h_(h) {}
  UniqueResource(UniqueResource&& other) noexcept : h_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  ~UniqueResource() { Reset(); }

  Handle Get() const noexcept { return h_; }
  // For out-parameters: closes what is held and hands out the slot.
  Handle* Put() noexcept {
    Reset();
    return &h_;
  }
  [[nodiscard]] Handle Release() noexcept { return std::exchange(h_, Traits::Invalid()); }
  void Reset(Handle h = Traits::Invalid()) noexcept {
    if (h_ != Traits::Invalid()) Traits::Close(h_);
    h_ = h;
  }
  explicit operator bool() const noexcept { return h_ != Traits::Invalid(); }

 private:
  Handle h_ = Traits::Invalid();
};

struct HBitmapTraits {
  using Handle = HBITMAP;
  static HBITMAP Invalid() noexcept { return nullptr; }
  static void Close(HBITMAP bitmap) noexcept { DeleteObject(bitmap); }
};
using UniqueHBitmap = UniqueResource<HBitmapTraits>;
