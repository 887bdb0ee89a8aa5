// Linked into exit_probe.exe, so that it is initialised before the library
// the probe loads later and therefore detached after it when the process
// ends. At that detach it writes to standard output how many of the
// allocations it was asked to watch are still committed.
#include <windows.h>

#include <charconv>
#include <cstddef>
#include <string>

namespace {

constexpr std::size_t kMostWatched = 64;
const void* watched[kMostWatched];
std::size_t watchedCount = 0;

bool Committed(const void* address) {
  MEMORY_BASIC_INFORMATION info{};
  return VirtualQuery(address, &info, sizeof info) == sizeof info && info.State == MEM_COMMIT;
}

std::string Decimal(std::size_t value) {
  char digits[24];
  return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void ReportWatched() {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < watchedCount; ++i)
    if (Committed(watched[i])) ++kept;
  const std::string line = kept == watchedCount
                               ? "pool regions at process exit: all " + Decimal(kept) + " kept\n"
                               : "pool regions at process exit: " + Decimal(watchedCount - kept) +
                                     " of " + Decimal(watchedCount) + " freed\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
}

}  // namespace

// Watches up to 64 addresses; false when there are more.
extern "C" __declspec(dllexport) bool WatchAtProcessExit(const void* const* addresses,
                                                         std::size_t count) {
  if (count > kMostWatched) return false;
  for (std::size_t i = 0; i < count; ++i) watched[i] = addresses[i];
  watchedCount = count;
  return true;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved != nullptr && watchedCount > 0) ReportWatched();
  return TRUE;
}
