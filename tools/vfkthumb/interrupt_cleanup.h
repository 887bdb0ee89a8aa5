// Names that must not outlive an interrupted run: a temporary picture file
// between its creation and its rename over the output. Once
// InstallInterruptCleanup has run, SIGINT, SIGTERM and SIGHUP (on Windows:
// Ctrl+C, Ctrl+Break, closing the console) remove every name held by a
// PendingName, and the process then ends with the signal's own status.
//
// Threads: any thread may hold PendingNames; the handler reads them through
// lock-free atomics only. At most kMaxPendingNames are held at once (one per
// batch job); a name beyond that is still removed by its holder, only not by
// the handler.
#pragma once

#include <cstddef>
#include <filesystem>

namespace vfkthumb {

inline constexpr std::size_t kMaxPendingNames = 256;

void InstallInterruptCleanup();

// Holds `path` for the handler from construction until Release or
// destruction; removes nothing itself.
class PendingName {
 public:
  explicit PendingName(const std::filesystem::path& path);
  ~PendingName() { Release(); }
  PendingName(const PendingName&) = delete;
  PendingName& operator=(const PendingName&) = delete;

  void Release();

 private:
  std::size_t slot_ = kMaxPendingNames;  // none held
};

}  // namespace vfkthumb
