#include "platform/crash_report.h"

namespace platform {

// The default signal dispositions already end the process with a status.
void PrepareConsoleProgram() noexcept {}

}  // namespace platform
