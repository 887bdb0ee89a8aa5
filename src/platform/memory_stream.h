// A read-only IStream over bytes in memory, for tests and fuzzers.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/com_ref.h"

// Null when memory is exhausted.
ComRef<IStream> MakeMemoryStream(std::vector<std::uint8_t> bytes);
