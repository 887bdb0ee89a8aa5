// Marks free pool blocks unaddressable under AddressSanitizer, so a pixel
// loop that runs past its block into a neighbouring free block is reported
// even though both live inside one large region. No-ops in other builds.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VFK_POISON(address, size) ASAN_POISON_MEMORY_REGION((address), (size))
#define VFK_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION((address), (size))
#else
#define VFK_POISON(address, size) ((void)(address), (void)(size))
#define VFK_UNPOISON(address, size) ((void)(address), (void)(size))
#endif
