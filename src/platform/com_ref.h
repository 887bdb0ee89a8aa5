// Sole owner of one COM reference: Release runs once, when the owner is
// destroyed or reset.
#pragma once

#include <utility>

#include "platform/com.h"

template <typename Interface>
class ComRef {
 public:
  ComRef() noexcept = default;
  // Takes over a reference the caller already holds.
  explicit ComRef(Interface* object) noexcept : object_(object) {}
  ComRef(ComRef&& other) noexcept : object_(other.Detach()) {}
  ComRef& operator=(ComRef&& other) noexcept {
    Reset(other.Detach());
    return *this;
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { Reset(); }

  Interface* Get() const noexcept { return object_; }
  Interface* operator->() const noexcept { return object_; }
  // For out-parameters: releases what is held and hands out the slot.
  Interface** Put() noexcept {
    Reset();
    return &object_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
  [[nodiscard]] Interface* Detach() noexcept { return std::exchange(object_, nullptr); }
  void Reset(Interface* object = nullptr) noexcept {
    if (object_) object_->Release();
    object_ = object;
  }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  Interface* object_ = nullptr;
};
