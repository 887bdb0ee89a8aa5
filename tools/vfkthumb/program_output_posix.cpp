#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "program_output.h"

namespace vfkthumb {

std::optional<std::string> ProgramOutput(const std::vector<std::string>& argv) {
  if (argv.empty()) return std::nullopt;
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return std::nullopt;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    const int nothing = open("/dev/null", O_WRONLY);
    if (nothing >= 0) dup2(nothing, STDERR_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  if (child < 0) {
    close(pipeEnds[0]);
    return std::nullopt;
  }
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    output.append(buffer, static_cast<std::size_t>(n));
  close(pipeEnds[0]);
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return std::nullopt;
  return output;
}

std::optional<std::string> FindProgram(const std::string& name) {
  if (name.empty()) return std::nullopt;
  if (name.find('/') != std::string::npos)
    return access(name.c_str(), X_OK) == 0 ? std::optional(name) : std::nullopt;
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

}  // namespace vfkthumb
