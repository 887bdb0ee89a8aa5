#include <windows.h>

#include <stdexcept>
#include <utility>

#include "platform/thread_slot.h"

namespace platform {

ThreadSlot::ThreadSlot(AtThreadExit atThreadExit) : key_(0) {
  const DWORD index = FlsAlloc(atThreadExit);
  if (index == FLS_OUT_OF_INDEXES) throw std::runtime_error("no fiber-local slot left");
  key_ = index;
  allocated_ = true;
}

void ThreadSlot::Free() noexcept {
  if (std::exchange(allocated_, false)) FlsFree(static_cast<DWORD>(key_));
}

void* ThreadSlot::Get() const noexcept { return FlsGetValue(static_cast<DWORD>(key_)); }

void ThreadSlot::Set(void* value) noexcept { FlsSetValue(static_cast<DWORD>(key_), value); }

std::uint32_t CurrentThreadId() noexcept { return GetCurrentThreadId(); }

}  // namespace platform
