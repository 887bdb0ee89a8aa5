// One document to one picture file: open, tell the format, compose the
// square (or the preview pane's box), write it. No output file is left
// behind unless it was written whole.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "options.h"
#include "picture_files.h"

namespace vfkthumb {

// A path as UTF-8 text, for messages.
std::string DisplayName(const std::filesystem::path& path);

enum class Outcome { kWritten, kNoThumbnail, kError };

struct JobResult {
  Outcome outcome;
  std::string message;  // empty when written
};

// Runs `job` and turns whatever it throws into an error naming `input`:
// every job ends with a result, and nothing escapes a worker thread.
JobResult GuardedJob(const std::filesystem::path& input,
                     const std::function<JobResult()>& job) noexcept;

JobResult ThumbnailFile(const std::filesystem::path& input, const std::filesystem::path& output,
                        PictureFormat format, std::int32_t side);

// What the preview pane would show in a box of this size over this
// background colour, written as a PNG.
JobResult PreviewFile(const std::filesystem::path& input, const std::filesystem::path& output,
                      const PreviewBox& box);

}  // namespace vfkthumb
