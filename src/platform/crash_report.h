// Makes a crash of a test or command-line program end the process with one
// line on stderr and a non-zero status, instead of a debugger or a dialog.
// Also puts stdout in binary mode on Windows, so output bytes (and the line
// ends that test discovery reads) are the program's own.
#pragma once

namespace platform {

void PrepareConsoleProgram() noexcept;

}  // namespace platform
