// The default floating-point environment for the library's code, whatever
// the host set. Some hosts unmask floating-point exceptions (invalid
// operation, division by zero, overflow) for their whole process; the
// library's arithmetic is written not to raise them, and each entry point a
// host calls also runs under DefaultFloatingPoint: all exceptions masked,
// rounding to nearest, then the host's own control words and status flags
// (x87 and MXCSR) back as they were, however the call ends. Nothing on
// processors other than x86.
#pragma once

#include <cstdint>

namespace platform {

class DefaultFloatingPoint {
 public:
  DefaultFloatingPoint() noexcept {
#if defined(__i386__) || defined(__x86_64__)
    // fnstenv stores the x87 environment and then masks every exception.
    asm volatile("fnstenv %0" : "=m"(x87_));
    asm volatile("fldcw %0" : : "m"(kX87Control));
    asm volatile("stmxcsr %0" : "=m"(mxcsr_));
    asm volatile("ldmxcsr %0" : : "m"(kMxcsr));
#endif
  }
  ~DefaultFloatingPoint() {
#if defined(__i386__) || defined(__x86_64__)
    asm volatile("ldmxcsr %0" : : "m"(mxcsr_));
    asm volatile("fldenv %0" : : "m"(x87_));
#endif
  }
  DefaultFloatingPoint(const DefaultFloatingPoint&) = delete;
  DefaultFloatingPoint& operator=(const DefaultFloatingPoint&) = delete;

 private:
#ifdef _WIN32
  static constexpr std::uint16_t kX87Control = 0x027F;  // Windows': all masked, 53-bit precision
#else
  static constexpr std::uint16_t kX87Control = 0x037F;  // fninit's: all masked, 64-bit precision
#endif
  static constexpr std::uint32_t kMxcsr = 0x1F80;  // all masked, round to nearest, no flags

  std::uint8_t x87_[28];  // the protected-mode x87 environment fnstenv stores
  std::uint32_t mxcsr_ = 0;
};

}  // namespace platform
