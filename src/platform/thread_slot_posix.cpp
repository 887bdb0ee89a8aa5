#include <pthread.h>
#include <unistd.h>

#include <stdexcept>
#include <utility>

#include "platform/thread_slot.h"

namespace platform {

ThreadSlot::ThreadSlot(AtThreadExit atThreadExit) : key_(0) {
  pthread_key_t key;
  if (pthread_key_create(&key, atThreadExit) != 0) {
    throw std::runtime_error("no thread-local key left");
  }
  key_ = key;
  allocated_ = true;
}

void ThreadSlot::Free() noexcept {
  if (std::exchange(allocated_, false)) pthread_key_delete(static_cast<pthread_key_t>(key_));
}

void* ThreadSlot::Get() const noexcept {
  return pthread_getspecific(static_cast<pthread_key_t>(key_));
}

void ThreadSlot::Set(void* value) noexcept {
  pthread_setspecific(static_cast<pthread_key_t>(key_), value);
}

std::uint32_t SystemThreadId() noexcept { return static_cast<std::uint32_t>(gettid()); }

}  // namespace platform
