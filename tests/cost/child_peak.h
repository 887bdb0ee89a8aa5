// Peak resident memory of work done in a child process: the child is forked
// from the caller, so it starts with the caller's resident pages, and the
// peaks of two children forked from the same state differ by what their
// work cost. POSIX only.
#pragma once

#include <functional>

struct ChildOutcome {
  bool succeeded;  // the child ran `work` to the end and it returned true
  long peakKiB;    // the child's peak resident memory (ru_maxrss)
};

ChildOutcome RunInChild(const std::function<bool()>& work);
