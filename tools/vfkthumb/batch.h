// Batch mode: every input document to DIR/<input file name>.png, on several
// threads. Failures are reported one line each as they happen; on a terminal
// a progress bar shows how many are done. Ends with a one-line summary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

namespace vfkthumb {

struct BatchSummary {
  std::int64_t written = 0;
  std::int64_t noThumbnail = 0;
  std::int64_t errors = 0;
};

// The output file of an input: DIR/<input file name>.png.
std::filesystem::path BatchOutput(const std::filesystem::path& outputDir,
                                  const std::filesystem::path& input);

// The first two inputs (by position) whose outputs would be the same file:
// the same file name from different folders, or the same input twice. On
// Windows names that differ only in letter case (any letters, as the system
// folds them) name the same file too.
std::optional<std::pair<std::size_t, std::size_t>> FirstSharedOutput(
    const std::vector<std::filesystem::path>& inputs);

// The first input (by position) whose output would be one of the inputs,
// with that input's position: `-o docs docs/a docs/a.png`.
std::optional<std::pair<std::size_t, std::size_t>> FirstOutputOverInput(
    const std::vector<std::filesystem::path>& inputs, const std::filesystem::path& outputDir);

BatchSummary RunBatch(const std::vector<std::filesystem::path>& inputs,
                      const std::filesystem::path& outputDir, std::int32_t side, std::int32_t jobs,
                      std::ostream& messages, bool progressBar);

}  // namespace vfkthumb
