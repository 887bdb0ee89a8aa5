#include "provider/module_count.h"

#include <atomic>

namespace {
std::atomic<std::int32_t> moduleCount{0};
}  // namespace

std::int32_t ModuleCount() noexcept { return moduleCount.load(std::memory_order_acquire); }

void LockModule() noexcept { moduleCount.fetch_add(1, std::memory_order_relaxed); }

void UnlockModule() noexcept { moduleCount.fetch_sub(1, std::memory_order_acq_rel); }
