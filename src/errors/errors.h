// Exception types that the readers throw. All derive from
// std::runtime_error, so one handler for the standard runtime-error family
// catches every reader failure; what() returns the message unchanged.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Stream status, seek and read failures of the paged-format reader.
struct ThumbError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

namespace oxan {

// Structural errors found in a paged (TNW) document.
struct TNWError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A failure that carries a numeric code beside its message.
struct FException : std::runtime_error {
  FException(const std::string& message, std::int32_t failureCode)
      : std::runtime_error(message), code(failureCode) {}

  std::int32_t code;
};

}  // namespace oxan
