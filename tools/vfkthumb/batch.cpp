#include "batch.h"

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <map>
#include <mutex>
#include <string>
#include <thread>

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

// An output name as the file system compares it.
std::filesystem::path::string_type NameKey(const std::filesystem::path& input) {
  std::filesystem::path::string_type name = input.filename().native();
#ifdef _WIN32
  std::transform(name.begin(), name.end(), name.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
#endif
  return name;
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
  std::map<std::filesystem::path::string_type, std::size_t> firstWithName;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const auto [at, added] = firstWithName.emplace(NameKey(inputs[i]), i);
    if (!added) return std::pair{at->second, i};
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
