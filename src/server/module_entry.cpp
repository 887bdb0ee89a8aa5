// The module entry. Thread notifications are turned off: nothing here needs
// them, and the allocator releases each thread's caches through its own
// fiber-local slot, whose callback runs at thread exit regardless.
#include "server/module_entry.h"

namespace {
HMODULE serverModule = nullptr;
}  // namespace

HMODULE ServerModule() noexcept { return serverModule; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    serverModule = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
