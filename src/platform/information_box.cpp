#include "platform/information_box.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {
namespace {

std::atomic<std::uint64_t> requests{0};
std::atomic<bool> suppressed{false};

}  // namespace

void ShowInformationBox(const wchar_t* text, const wchar_t* caption) {
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

}  // namespace platform
