// Where a test's several threads cannot run: a 32-bit Windows program under
// Wine whose i386 code runs through qemu's user-mode emulation
// (scripts/x86-namespace.sh sets VFK_X86_EMULATED). qemu 7.2 keeps one
// segment table for all threads and Wine's 32-bit side reloads its
// thread-storage segment on every call into its Unix part, so a process
// with two threads crashes, with or without code of ours. Such tests skip
// there, saying why, and run wherever 32-bit programs run natively.
//
// GTEST_SKIP cannot say so there: gtest's Windows build records a skip (or
// a failure) in a thread-local whose registry starts a watcher thread. So
// EndSkipped ends the process at once with status 77, which CTest counts as
// skipped (vfk_discover_tests sets SKIP_RETURN_CODE); CTest runs one case
// per process.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace vfktest {

inline constexpr char kNoThreadsUnderEmulation[] =
    "several threads in a 32-bit Wine process crash under qemu's user-mode emulation";

inline bool Emulated32Bit() {
  return sizeof(void*) == 4 && std::getenv("VFK_X86_EMULATED") != nullptr;
}

[[noreturn]] inline void EndSkipped(const char* reason) {
  std::printf("skipped: %s\n", reason);
  std::fflush(stdout);
  std::_Exit(77);
}

// Where several threads cannot run, ends the test skipped.
inline void SkipWithoutThreads() {
  if (Emulated32Bit()) EndSkipped(kNoThreadsUnderEmulation);
}

}  // namespace vfktest
