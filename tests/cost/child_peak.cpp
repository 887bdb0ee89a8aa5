#include "child_peak.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

ChildOutcome RunInChild(const std::function<bool()>& work) {
  const pid_t child = fork();
  if (child < 0) return {false, 0};
  if (child == 0) _exit(work() ? 0 : 1);
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return {false, 0};
  return {WIFEXITED(status) && WEXITSTATUS(status) == 0, usage.ru_maxrss};
}
