// Running another program and reading what it prints (POSIX).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vfkthumb {

// The standard output of `argv` (argv[0] looked up in PATH) when it runs
// and exits with status 0; its standard error is dropped.
std::optional<std::string> ProgramOutput(const std::vector<std::string>& argv);

// argv[0]'s full path: itself when it holds a slash, else the first
// executable of that name in PATH.
std::optional<std::string> FindProgram(const std::string& name);

}  // namespace vfkthumb
