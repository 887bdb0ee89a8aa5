// Whether a standard stream goes to a terminal (progress is drawn only there).
#pragma once

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace platform {

inline bool IsTerminal(std::FILE* stream) noexcept {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

}  // namespace platform
