// The module entry. Thread notifications are turned off: nothing here needs
// them, and the allocator releases each thread's caches through its own
// fiber-local slot, whose callback runs at thread exit regardless.
#include "server/module_entry.h"

#include "memory/block_alloc.h"

namespace {
HMODULE serverModule = nullptr;
}  // namespace

HMODULE ServerModule() noexcept { return serverModule; }

// Unloaded by FreeLibrary (`reserved` null), the allocator's memory goes
// back; at process exit it is left alone (ReleaseBlockAllocator says why).
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    serverModule = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    oxan::ReleaseBlockAllocator();
  }
  return TRUE;
}
