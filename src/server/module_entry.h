// The library's own module handle, stored once by the module entry at
// process attach, before any other entry point can run.
#pragma once

#include <windows.h>

HMODULE ServerModule() noexcept;
