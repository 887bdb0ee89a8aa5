#include "platform/read_only_stream.h"

#include <algorithm>
#include <cstring>

IFACEMETHODIMP ReadOnlyStream::QueryInterface(REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) ||
      IsEqualIID(riid, IID_IStream)) {
    *object = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

IFACEMETHODIMP_(ULONG) ReadOnlyStream::AddRef() noexcept {
  return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

IFACEMETHODIMP_(ULONG) ReadOnlyStream::Release() noexcept {
  const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

IFACEMETHODIMP ReadOnlyStream::Read(void* buffer, ULONG count, ULONG* read) noexcept {
  if (read) *read = 0;
  if (!buffer) return STG_E_INVALIDPOINTER;
  const std::uint64_t size = Size();
  const auto at = static_cast<std::uint64_t>(position_);
  if (at >= size || count == 0) return S_OK;
  const auto wanted = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, size - at));
  const std::int64_t got = ReadAt(at, buffer, wanted);
  if (got < 0) return STG_E_READFAULT;
  position_ += got;
  if (read) *read = static_cast<ULONG>(got);
  return S_OK;
}

IFACEMETHODIMP ReadOnlyStream::Write(const void*, ULONG, ULONG* written) noexcept {
  if (written) *written = 0;
  return STG_E_ACCESSDENIED;
}

IFACEMETHODIMP ReadOnlyStream::Seek(LARGE_INTEGER move, DWORD origin,
                                    ULARGE_INTEGER* position) noexcept {
  std::int64_t base;
  switch (origin) {
    case STREAM_SEEK_SET:
      base = 0;
      break;
    case STREAM_SEEK_CUR:
      base = position_;
      break;
    case STREAM_SEEK_END:
      base = static_cast<std::int64_t>(Size());
      break;
    default:
      return STG_E_INVALIDFUNCTION;
  }
  std::int64_t target;
  if (__builtin_add_overflow(base, move.QuadPart, &target) || target < 0)
    return STG_E_INVALIDFUNCTION;
  position_ = target;
  if (position) position->QuadPart = static_cast<std::uint64_t>(target);
  return S_OK;
}

IFACEMETHODIMP ReadOnlyStream::SetSize(ULARGE_INTEGER) noexcept { return STG_E_ACCESSDENIED; }

IFACEMETHODIMP ReadOnlyStream::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                      ULARGE_INTEGER*) noexcept {
  return E_NOTIMPL;
}

IFACEMETHODIMP ReadOnlyStream::Commit(DWORD) noexcept { return S_OK; }

IFACEMETHODIMP ReadOnlyStream::Revert() noexcept { return S_OK; }

IFACEMETHODIMP ReadOnlyStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept {
  return STG_E_INVALIDFUNCTION;
}

IFACEMETHODIMP ReadOnlyStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) noexcept {
  return STG_E_INVALIDFUNCTION;
}

IFACEMETHODIMP ReadOnlyStream::Stat(STATSTG* stat, DWORD) noexcept {
  if (!stat) return STG_E_INVALIDPOINTER;
  std::memset(stat, 0, sizeof *stat);
  stat->type = STGTY_STREAM;
  stat->cbSize.QuadPart = Size();
  stat->grfMode = STGM_READ;
  return S_OK;
}

IFACEMETHODIMP ReadOnlyStream::Clone(IStream** copy) noexcept {
  if (copy) *copy = nullptr;
  return E_NOTIMPL;
}
