// The COM, shell and GDI surface that the provider, the loaders and the
// fronts use. On Windows these are the system's own declarations; elsewhere
// com_standin.h declares the same types with the same slot order and the
// same observable results.
#pragma once

#ifdef _WIN32
#include <windows.h>
// windows.h first: these need its types.
#include <objidl.h>
#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>
#else
#include "platform/com_standin.h"
#endif
