// Batch mode: every input document to DIR/<input file name>.png, on several
// threads. Failures are reported one line each as they happen; on a terminal
// a progress bar shows how many are done. Ends with a one-line summary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <vector>

namespace vfkthumb {

struct BatchSummary {
  std::int64_t written = 0;
  std::int64_t noThumbnail = 0;
  std::int64_t errors = 0;
};

BatchSummary RunBatch(const std::vector<std::filesystem::path>& inputs,
                      const std::filesystem::path& outputDir, std::int32_t side, std::int32_t jobs,
                      std::ostream& messages, bool progressBar);

}  // namespace vfkthumb
