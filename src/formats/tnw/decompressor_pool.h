// Zstandard decompression contexts, reused: a context is leased from the idle
// queue (or created when it is empty) for one decompression and returned
// when the lease ends. The critical section is held only while a context is taken or
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

  // One context for one decompression, reset to a new session with the
  // default parameters; returned to the pool when the lease ends. Null when
  // no context could be had.
  class Lease {
   public:
    Lease(DecompressorPool& pool, ZSTD_DCtx_s* context) noexcept : pool_(pool), context_(context) {}
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ZSTD_DCtx_s* get() const noexcept { return context_; }

   private:
    DecompressorPool& pool_;
    ZSTD_DCtx_s* context_;
  };
  Lease Take();

  // Contexts created so far (each reused once returned).
  std::size_t contextCount();

 private:
  ZSTD_DCtx_s* TakeContext();
  void Return(ZSTD_DCtx_s* context);

  platform::CriticalSection section_;
  std::deque<ZSTD_DCtx_s*> idle_;  // not owning: each is also in all_
  std::vector<DCtxPtr> all_;
};

}  // namespace tnw
