#include "provider/vesk_thumbnail_provider.h"

#include <atomic>
#include <new>

#include "image/image32.h"
#include "platform/com_ref.h"
#include "platform/floating_point.h"
#include "provider/bottom_up_dib.h"
#include "provider/compose_thumbnail.h"
#include "provider/module_count.h"

namespace {

class VeskThumbnailProvider final : public IInitializeWithStream, public IThumbnailProvider {
 public:
  explicit VeskThumbnailProvider(Loader loader) noexcept : loader_(loader) {}

  // IUnknown
  IFACEMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override;
  IFACEMETHODIMP_(ULONG) AddRef() noexcept override;
  IFACEMETHODIMP_(ULONG) Release() noexcept override;
  // IInitializeWithStream
  IFACEMETHODIMP Initialize(IStream* stream, DWORD mode) noexcept override;
  // IThumbnailProvider
  IFACEMETHODIMP GetThumbnail(UINT cx, HBITMAP* bitmap, WTS_ALPHATYPE* alpha) noexcept override;

 private:
  ~VeskThumbnailProvider() = default;  // the stream, if still held, is released

  void GiveUpStream() noexcept {
    if (stream_) used_ = true;
    stream_.Reset();
  }

  std::atomic<ULONG> refs_{1};
  ModuleRef moduleRef_;
  Loader loader_;
  ComRef<IStream> stream_;
  bool used_ = false;  // GetThumbnail gave the stream up: no second Initialize
};

IFACEMETHODIMP VeskThumbnailProvider::QueryInterface(REFIID riid, void** object) noexcept {
  // Row order matters: a request for IUnknown answers with the first row's face.
  static const QITAB kInterfaces[] = {
      QITABENT(VeskThumbnailProvider, IThumbnailProvider),
      QITABENT(VeskThumbnailProvider, IInitializeWithStream),
      {},
  };
  return QISearch(this, kInterfaces, riid, object);
}

IFACEMETHODIMP_(ULONG) VeskThumbnailProvider::AddRef() noexcept {
  return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

IFACEMETHODIMP_(ULONG) VeskThumbnailProvider::Release() noexcept {
  const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

IFACEMETHODIMP VeskThumbnailProvider::Initialize(IStream* stream, DWORD) noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  if (stream_ || used_) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
  if (!stream) return E_INVALIDARG;
  return stream->QueryInterface(IID_IStream, stream_.PutVoid());
}

IFACEMETHODIMP VeskThumbnailProvider::GetThumbnail(UINT cx, HBITMAP* bitmap,
                                                   WTS_ALPHATYPE* alpha) noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  if (!bitmap || !alpha || !stream_) return S_FALSE;
  try {
    oxan::CImage32 square;
    const bool loaded = ComposeThumbnail(loader_, stream_.Get(), cx, square);
    GiveUpStream();  // the document is not read again
    if (!loaded) return S_FALSE;
    UniqueHBitmap dib = MakeBottomUpDib(square, SquareSide(cx));
    *bitmap = dib.Get();
    if (!dib) return S_FALSE;
    *bitmap = dib.Release();  // the shell owns it from here
    *alpha = WTSAT_ARGB;
    return S_OK;
  } catch (...) {  // nothing unwinds into the shell
    GiveUpStream();
    return S_FALSE;
  }
}

}  // namespace

HRESULT CreateVeskThumbnailProvider(Loader loader, REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  auto* provider = new (std::nothrow) VeskThumbnailProvider(loader);
  if (!provider) return E_OUTOFMEMORY;
  const HRESULT result = provider->QueryInterface(riid, object);
  static_cast<IInitializeWithStream*>(provider)->Release();
  return result;
}
