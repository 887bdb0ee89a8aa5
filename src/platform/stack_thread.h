// Runs work on a thread of its own with a stack of a chosen size, and waits
// for it. Tests and fuzz targets use it to meet stack exhaustion with small
// inputs: the shell runs handlers on threads with 1 MiB stacks.
#pragma once

#include <cstddef>
#include <functional>

namespace platform {

// Runs `work` on a new thread whose stack is `stackBytes` (rounded up to
// what the system allows) and returns when it has finished; an exception
// from `work` is thrown again here. Throws std::runtime_error when the
// thread cannot be started.
void RunWithStack(std::size_t stackBytes, const std::function<void()>& work);

}  // namespace platform
