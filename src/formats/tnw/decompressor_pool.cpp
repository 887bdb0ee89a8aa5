#include "formats/tnw/decompressor_pool.h"

#include <zstd.h>

#include <mutex>

namespace tnw {
namespace {

constexpr unsigned kSpinCount = 1024;

}  // namespace

void DCtxFree::operator()(ZSTD_DCtx* context) const noexcept { ZSTD_freeDCtx(context); }

DecompressorPool::DecompressorPool() : section_(kSpinCount) {}

ZSTD_DCtx* DecompressorPool::Take() {
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

std::ptrdiff_t DecompressorPool::decompress(const void* source, std::size_t sourceSize,
                                            void* destination, std::size_t destinationCapacity) {
  ZSTD_DCtx* context = Take();
  if (!context) return -1;
  const std::size_t written =
      ZSTD_decompressDCtx(context, destination, destinationCapacity, source, sourceSize);
  Return(context);
  return ZSTD_isError(written) ? -1 : static_cast<std::ptrdiff_t>(written);
}

std::size_t DecompressorPool::contextCount() {
  const std::lock_guard lock(section_);
  return all_.size();
}

}  // namespace tnw
