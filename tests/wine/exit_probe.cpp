// Ends a process that holds VfkThumbDll.dll loaded with its pools in use,
// as the shell's thumbnail process ends: thumbnails are made on this thread
// and on one still alive at the end, then the process exits without
// unloading the library. When the process ends, other threads were stopped
// wherever they were, perhaps holding a pool lock, so the library must
// leave its pools alone; exit_watch.dll, detached after it, reports whether
// the pools' regions are still committed:
//   "pool regions at process exit: all N kept"
// Exit status 1, with a line on stderr, when no request succeeded or no
// region was found to watch.
#include <windows.h>

#include <cstdio>
#include <set>
#include <thread>
#include <vector>

#include "emulated_threads.h"
#include "loaded_server.h"
#include "memory/size_classes.h"
#include "pooled_requests.h"

extern "C" __declspec(dllimport) bool WatchAtProcessExit(const void* const* addresses,
                                                         std::size_t count);

namespace {

// Committed private allocations as large as a pool region.
std::set<const void*> RegionSizedAllocations() {
  std::set<const void*> bases;
  MEMORY_BASIC_INFORMATION region{};
  for (auto* at = static_cast<const char*>(nullptr);
       VirtualQuery(at, &region, sizeof region) == sizeof region;
       at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE &&
        region.RegionSize >= oxan::memory::kRegionSize) {
      bases.insert(region.BaseAddress);
    }
  }
  return bases;
}

int Fail(const char* why) {
  std::fprintf(stderr, "exit_probe: %s\n", why);
  return 1;
}

}  // namespace

int main() {
  vfktest::SkipWithoutThreads();
  const std::set<const void*> before = RegionSizedAllocations();
  // Never unloaded: the process ends with the library loaded.
  const auto* server = new LoadedServer(BesideProgram(L"VfkThumbDll.dll"));
  if (!server->Loaded()) return Fail("VfkThumbDll.dll did not load");
  const std::vector<std::uint8_t> document = PooledDocument();

  HANDLE made = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool madeThere = false;
  std::thread([&] {
    madeThere = ThumbnailAtPooledSides(*server, document);
    SetEvent(made);
    Sleep(INFINITE);
  }).detach();
  if (WaitForSingleObject(made, 60000) != WAIT_OBJECT_0 || !madeThere ||
      !ThumbnailAtPooledSides(*server, document)) {
    return Fail("a thumbnail request failed");
  }

  std::vector<const void*> regions;
  for (const void* base : RegionSizedAllocations()) {
    if (!before.contains(base)) regions.push_back(base);
  }
  if (regions.empty()) return Fail("no pool region found");
  if (!WatchAtProcessExit(regions.data(), regions.size())) return Fail("too many regions");
  std::printf("watching %zu pool regions\n", regions.size());
  std::fflush(stdout);
  return 0;
}
