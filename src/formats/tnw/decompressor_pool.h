// Zstandard decompression contexts, reused: a context is taken from the idle
// queue (or created when it is empty) for one decompression and returned
// afterwards. The critical section is held only while a context is taken or
// returned, never while one is created or used, so several threads may
// decompress at once. Destroying the pool frees every context it created.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

#include "platform/critical_section.h"

struct ZSTD_DCtx_s;

namespace tnw {

// Frees one context with ZSTD_freeDCtx.
struct DCtxFree {
  void operator()(ZSTD_DCtx_s* context) const noexcept;
};
using DCtxPtr = std::unique_ptr<ZSTD_DCtx_s, DCtxFree>;

class DecompressorPool {
 public:
  DecompressorPool();
  DecompressorPool(const DecompressorPool&) = delete;
  DecompressorPool& operator=(const DecompressorPool&) = delete;

  // Every frame of `source` into `destination`; the number of bytes written,
  // or -1 when Zstandard reports an error or no context could be had.
  std::ptrdiff_t decompress(const void* source, std::size_t sourceSize, void* destination,
                            std::size_t destinationCapacity);

  // Contexts created so far (each reused once returned).
  std::size_t contextCount();

 private:
  ZSTD_DCtx_s* Take();
  void Return(ZSTD_DCtx_s* context);

  platform::CriticalSection section_;
  std::deque<ZSTD_DCtx_s*> idle_;  // not owning: each is also in all_
  std::vector<DCtxPtr> all_;
};

}  // namespace tnw
