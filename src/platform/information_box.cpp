#include "platform/information_box.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {
namespace {

std::atomic<std::uint64_t> requests{0};
std::atomic<bool> suppressed{false};
thread_local bool suppressedHere = false;  // constant-initialised, no destructor

}  // namespace

void ShowInformationBox(const wchar_t* text, const wchar_t* caption) {
  if (suppressedHere) return;  // not even asked for
  requests.fetch_add(1, std::memory_order_relaxed);
  if (suppressed.load(std::memory_order_relaxed)) return;
#ifdef _WIN32
  MessageBoxW(nullptr, text, caption, MB_ICONINFORMATION);
#else
  (void)text;
  (void)caption;
#endif
}

std::uint64_t InformationBoxRequests() noexcept { return requests.load(std::memory_order_relaxed); }

void SuppressInformationBoxes(bool suppress) noexcept {
  suppressed.store(suppress, std::memory_order_relaxed);
}

NoInformationBoxesHere::NoInformationBoxesHere() noexcept : before_(suppressedHere) {
  suppressedHere = true;
}

NoInformationBoxesHere::~NoInformationBoxesHere() { suppressedHere = before_; }

}  // namespace platform
