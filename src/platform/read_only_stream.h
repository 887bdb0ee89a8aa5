// Base of our own read-only IStream objects (over a file, over memory): COM
// reference counting, a 64-bit position, Read, Seek and Stat over two
// operations a subclass supplies. Writing, resizing, locking and cloning are
// refused. One thread uses a stream at a time; the count is atomic so a
// reference may be dropped on any thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/com.h"

class ReadOnlyStream : public IStream {
 public:
  ReadOnlyStream(const ReadOnlyStream&) = delete;
  ReadOnlyStream& operator=(const ReadOnlyStream&) = delete;

  // IUnknown: answers IUnknown, ISequentialStream and IStream.
  IFACEMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override;
  IFACEMETHODIMP_(ULONG) AddRef() noexcept override;
  IFACEMETHODIMP_(ULONG) Release() noexcept override;
  // ISequentialStream. Read gives S_OK with a short count at the end of the
  // stream, STG_E_READFAULT when the storage fails.
  IFACEMETHODIMP Read(void* buffer, ULONG count, ULONG* read) noexcept override;
  IFACEMETHODIMP Write(const void* buffer, ULONG count, ULONG* written) noexcept override;
  // IStream. Seek may pass the end; a position before the start is
  // STG_E_INVALIDFUNCTION. Stat fills the type and the size, never a name.
  IFACEMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) noexcept override;
  IFACEMETHODIMP SetSize(ULARGE_INTEGER size) noexcept override;
  IFACEMETHODIMP CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                        ULARGE_INTEGER* written) noexcept override;
  IFACEMETHODIMP Commit(DWORD flags) noexcept override;
  IFACEMETHODIMP Revert() noexcept override;
  IFACEMETHODIMP LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                            DWORD type) noexcept override;
  IFACEMETHODIMP UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                              DWORD type) noexcept override;
  IFACEMETHODIMP Stat(STATSTG* stat, DWORD flags) noexcept override;
  IFACEMETHODIMP Clone(IStream** copy) noexcept override;

 protected:
  ReadOnlyStream() noexcept = default;
  virtual ~ReadOnlyStream() = default;  // only Release destroys

  // Copies up to `count` bytes at `offset` (below Size()) into `buffer`;
  // the number copied, or -1 when the storage fails. Sizes stay below 2^63.
  virtual std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) noexcept = 0;
  virtual std::uint64_t Size() const noexcept = 0;

 private:
  std::atomic<ULONG> refs_{1};
  std::int64_t position_ = 0;  // 0 … 2^63 − 1, may lie past the end
};
