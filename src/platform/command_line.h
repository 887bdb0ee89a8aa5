// The program's arguments after its name, as UTF-8 text on every system.
#pragma once

#include <string>
#include <vector>

namespace platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace platform
