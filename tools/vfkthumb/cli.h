// vfkthumb as a function, so tests run it in-process: arguments after the
// program name in, exit status out.
//
// Exit status: 0 every thumbnail written; 1 some document had no thumbnail
// (and got no output file); 2 usage or I/O error.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vfkthumb {

inline constexpr int kExitWritten = 0;
inline constexpr int kExitNoThumbnail = 1;
inline constexpr int kExitError = 2;

// `out` gets help, version and the batch summary; `err` one line per
// failure and, when `terminal`, the batch progress bar.
int RunVfkthumb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool terminal);

}  // namespace vfkthumb
