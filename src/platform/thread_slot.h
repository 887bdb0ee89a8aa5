// One pointer per thread, with a function that runs when a thread that set
// it ends, and the calling thread's identifier.
//
// The end-of-thread call does not rely on DLL thread notifications, which
// the server turns off: on Windows the slot is a fiber-local storage index
// whose callback the system runs at thread exit (and, for every thread still
// holding a value, when the slot is freed); elsewhere it is a pthread key,
// whose deletion runs nothing.
#pragma once

#include <cstdint>

namespace platform {

// The calling convention of the end-of-thread function: the system's own
// callback convention on Windows (stdcall in 32-bit programs), the default
// elsewhere.
#if defined(_WIN32)
#define VFK_AT_THREAD_EXIT __stdcall
#else
#define VFK_AT_THREAD_EXIT
#endif

class ThreadSlot {
 public:
  using AtThreadExit = void(VFK_AT_THREAD_EXIT*)(void* value);

  // Throws std::runtime_error when the system has no slot left.
  explicit ThreadSlot(AtThreadExit atThreadExit);
  ~ThreadSlot() { Free(); }
  ThreadSlot(const ThreadSlot&) = delete;
  ThreadSlot& operator=(const ThreadSlot&) = delete;

  void* Get() const noexcept;
  void Set(void* value) noexcept;

  // Gives the slot back to the system, once; Get and Set must not follow.
  // On Windows the end-of-thread function runs here, on this thread, for
  // every other thread's value: whatever it touches must still exist.
  void Free() noexcept;

 private:
  std::uintptr_t key_;
  bool allocated_ = false;
};

// Never 0, unique among the threads alive at the same time.
#if defined(_WIN32)
std::uint32_t CurrentThreadId() noexcept;
#else
std::uint32_t SystemThreadId() noexcept;

inline std::uint32_t CurrentThreadId() noexcept {
  thread_local std::uint32_t id = 0;  // constant-initialised: no guard on reads
  if (id == 0) id = SystemThreadId();
  return id;
}
#endif

}  // namespace platform
