// The server's module reference count: live class factories, live providers
// and server locks. The server answers DllCanUnloadNow from it. Changed only
// by atomic increments and decrements, from any thread.
#pragma once

#include <cstdint>

std::int32_t ModuleCount() noexcept;
void LockModule() noexcept;
void UnlockModule() noexcept;

// +1 on the module count for the holder's whole life.
class ModuleRef {
 public:
  ModuleRef() noexcept { LockModule(); }
  ~ModuleRef() { UnlockModule(); }
  ModuleRef(const ModuleRef&) = delete;
  ModuleRef& operator=(const ModuleRef&) = delete;
};
