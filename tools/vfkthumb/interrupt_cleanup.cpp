#include "interrupt_cleanup.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vfkthumb {
namespace {

using NameChar = std::filesystem::path::value_type;

// A name too long for a slot is not held (the file system would refuse it
// anyway: 4096 is Linux's PATH_MAX, and Windows' long paths stop at 32767
// characters, which no output here reaches).
constexpr std::size_t kMaxNameLength = 4096;

enum SlotState : int { kFree, kFilling, kHeld };

struct Slot {
  std::atomic<int> state{kFree};
  NameChar name[kMaxNameLength + 1];
};

std::array<Slot, kMaxPendingNames> slots;
static_assert(std::atomic<int>::is_always_lock_free);

void RemoveName(const NameChar* name) {
#ifdef _WIN32
  _wunlink(name);
#else
  unlink(name);
#endif
}

extern "C" void OnInterrupt(int signal) {
  for (Slot& slot : slots)
    if (slot.state.load(std::memory_order_acquire) == kHeld) RemoveName(slot.name);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void InstallInterruptCleanup() {
#ifdef _WIN32
  const int signals[] = {SIGINT, SIGTERM, SIGBREAK};
#else
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
#endif
  // A signal the caller ignores (nohup) stays ignored.
  for (const int signal : signals)
    if (std::signal(signal, OnInterrupt) == SIG_IGN) std::signal(signal, SIG_IGN);
}

PendingName::PendingName(const std::filesystem::path& path) {
  const auto& name = path.native();
  if (name.size() > kMaxNameLength) return;
  for (std::size_t i = 0; i < kMaxPendingNames; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire))
      continue;
    std::memcpy(slots[i].name, name.c_str(), (name.size() + 1) * sizeof(NameChar));
    slots[i].state.store(kHeld, std::memory_order_release);
    slot_ = i;
    return;
  }
}

void PendingName::Release() {
  if (slot_ == kMaxPendingNames) return;
  slots[slot_].state.store(kFree, std::memory_order_release);
  slot_ = kMaxPendingNames;
}

}  // namespace vfkthumb
