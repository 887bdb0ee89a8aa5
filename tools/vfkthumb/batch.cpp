#include "batch.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "thumbnail_job.h"

namespace vfkthumb {
namespace {

constexpr int kBarWidth = 30;

// Shared by the workers: the next input to take, the counts, and the
// message stream with the progress line under one lock.
class BatchState {
 public:
  BatchState(std::size_t total, std::ostream& messages, bool progressBar)
      : total_(total), messages_(messages), progressBar_(progressBar) {}

  std::size_t Next() { return next_.fetch_add(1, std::memory_order_relaxed); }

  void Finish(const JobResult& result) {
    const std::lock_guard lock(mutex_);
    ClearBar();
    switch (result.outcome) {
      case Outcome::kWritten:
        ++summary_.written;
        break;
      case Outcome::kNoThumbnail:
        ++summary_.noThumbnail;
        break;
      case Outcome::kError:
        ++summary_.errors;
        break;
    }
    if (!result.message.empty()) messages_ << "vfkthumb: " << result.message << '\n';
    ++done_;
    DrawBar();
  }

  BatchSummary End() {
    const std::lock_guard lock(mutex_);
    ClearBar();
    messages_.flush();
    return summary_;
  }

 private:
  void DrawBar() {
    if (!progressBar_) return;
    const auto filled = static_cast<int>(done_ * kBarWidth / std::max<std::size_t>(total_, 1));
    messages_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << done_
              << '/' << total_ << std::flush;
  }
  void ClearBar() {
    if (progressBar_ && done_ > 0) messages_ << "\r" << std::string(kBarWidth + 30, ' ') << '\r';
  }

  const std::size_t total_;
  std::ostream& messages_;
  const bool progressBar_;
  std::atomic<std::size_t> next_{0};
  std::mutex mutex_;
  std::size_t done_ = 0;
  BatchSummary summary_;
};

using PathText = std::filesystem::path::string_type;

// Paths in the order the file system tells them apart: on Windows without
// regard to letter case, by the system's own folding.
struct FileSystemOrder {
  bool operator()(const PathText& a, const PathText& b) const noexcept {
#ifdef _WIN32
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
#else
    return a < b;
#endif
  }
};

// Position of the first entry of each text; with the position of the
// earlier entry when `text` is already there.
class FirstPositions {
 public:
  std::optional<std::size_t> Add(PathText text, std::size_t position) {
    const auto [at, added] = first_.emplace(std::move(text), position);
    return added ? std::nullopt : std::optional(at->second);
  }
  std::optional<std::size_t> Find(const PathText& text) const {
    const auto at = first_.find(text);
    return at == first_.end() ? std::nullopt : std::optional(at->second);
  }

 private:
  std::map<PathText, std::size_t, FileSystemOrder> first_;
};

// A path with its links and dot folders resolved as far as it exists.
PathText Resolved(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
  return (error ? std::filesystem::absolute(path, error) : resolved).native();
}

}  // namespace

std::filesystem::path BatchOutput(const std::filesystem::path& outputDir,
                                  const std::filesystem::path& input) {
  std::filesystem::path output = outputDir / input.filename();
  output += ".png";
  return output;
}

std::optional<std::pair<std::size_t, std::size_t>> FirstSharedOutput(
    const std::vector<std::filesystem::path>& inputs) {
  FirstPositions names;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (const auto earlier = names.Add(inputs[i].filename().native(), i))
      return std::pair{*earlier, i};
  }
  return std::nullopt;
}

std::optional<std::pair<std::size_t, std::size_t>> FirstOutputOverInput(
    const std::vector<std::filesystem::path>& inputs, const std::filesystem::path& outputDir) {
  FirstPositions resolvedInputs;
  for (std::size_t i = 0; i < inputs.size(); ++i) resolvedInputs.Add(Resolved(inputs[i]), i);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (const auto input = resolvedInputs.Find(Resolved(BatchOutput(outputDir, inputs[i]))))
      return std::pair{i, *input};
  }
  return std::nullopt;
}

BatchSummary RunBatch(const std::vector<std::filesystem::path>& inputs,
                      const std::filesystem::path& outputDir, std::int32_t side, std::int32_t jobs,
                      std::ostream& messages, bool progressBar) {
  BatchState state(inputs.size(), messages, progressBar);
  const auto work = [&] {
    for (std::size_t i = state.Next(); i < inputs.size(); i = state.Next()) {
      state.Finish(GuardedJob(inputs[i], [&] {
        return ThumbnailFile(inputs[i], BatchOutput(outputDir, inputs[i]), PictureFormat::kPng,
                             side);
      }));
    }
  };
  const auto threads = std::min<std::size_t>(static_cast<std::size_t>(jobs), inputs.size());
  std::vector<std::jthread> workers;
  for (std::size_t t = 1; t < threads; ++t) workers.emplace_back(work);
  work();
  workers.clear();  // joins
  return state.End();
}

}  // namespace vfkthumb
