#include "formats/tnw/decompressor_pool.h"

#include <zstd.h>

#include <mutex>
#include <new>

namespace tnw {
namespace {

constexpr unsigned kSpinCount = 1024;

}  // namespace

void DCtxFree::operator()(ZSTD_DCtx* context) const noexcept { ZSTD_freeDCtx(context); }

DecompressorPool::DecompressorPool() : section_(kSpinCount) {}

ZSTD_DCtx* DecompressorPool::TakeContext() {
  {
    const std::lock_guard lock(section_);
    if (!idle_.empty()) {
      ZSTD_DCtx* context = idle_.front();
      idle_.pop_front();
      return context;
    }
  }
  DCtxPtr context(ZSTD_createDCtx());
  if (!context) return nullptr;
  ZSTD_DCtx* const taken = context.get();
  const std::lock_guard lock(section_);
  all_.push_back(std::move(context));  // a throw here frees the context
  return taken;
}

void DecompressorPool::Return(ZSTD_DCtx* context) {
  const std::lock_guard lock(section_);
  idle_.push_back(context);
}

DecompressorPool::Lease DecompressorPool::Take() {
  ZSTD_DCtx* context = TakeContext();
  if (context) ZSTD_DCtx_reset(context, ZSTD_reset_session_and_parameters);
  return Lease(*this, context);
}

// A context that cannot go back to the idle queue (no memory for it) stays
// owned by the pool and is freed with it.
DecompressorPool::Lease::~Lease() {
  if (!context_) return;
  try {
    pool_.Return(context_);
  } catch (const std::bad_alloc&) {
  }
}

std::size_t DecompressorPool::contextCount() {
  const std::lock_guard lock(section_);
  return all_.size();
}

}  // namespace tnw
