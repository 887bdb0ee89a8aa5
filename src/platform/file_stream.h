// A read-only IStream over a file, as the shell hands one to a thumbnail
// handler: reads from a position, seeks, and Stat gives the file's size.
#pragma once

#include <filesystem>
#include <system_error>

#include "platform/com_ref.h"

// Null, with `error` set, when the file cannot be opened or sized.
ComRef<IStream> OpenFileStream(const std::filesystem::path& path, std::error_code& error);
