// What every target shares: its work runs on a thread with a 256 KiB stack,
// a quarter of what the shell gives a handler's thread, so recursion that
// would need more shows with short inputs.
#pragma once

#include <cstddef>
#include <functional>

#include "platform/stack_thread.h"

inline constexpr std::size_t kFuzzStack = 256 * 1024;

inline void RunOnFuzzStack(const std::function<void()>& work) {
  platform::RunWithStack(kFuzzStack, work);
}
