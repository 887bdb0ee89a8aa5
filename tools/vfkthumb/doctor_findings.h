// The doctor's report: one line per finding, "ok", "PROBLEM" (something
// that stops thumbnails) or "unknown" (could not be checked), and the exit
// status they add up to.
#pragma once

#include <ostream>
#include <string>

namespace vfkthumb {

class Findings {
 public:
  explicit Findings(std::ostream& out) : out_(out) {}
  void Ok(const std::string& what) { out_ << "ok       " << what << '\n'; }
  void Problem(const std::string& what) {
    out_ << "PROBLEM  " << what << '\n';
    ++problems_;
  }
  void Unknown(const std::string& what) { out_ << "unknown  " << what << '\n'; }
  int ExitStatus() const { return problems_ == 0 ? 0 : 1; }

 private:
  std::ostream& out_;
  int problems_ = 0;
};

}  // namespace vfkthumb
