#include "pooled_requests.h"

#include "platform/com_ref.h"
#include "platform/memory_stream.h"
#include "platform/unique_resource.h"
#include "server/server_classes.h"
#include "vfk_writer.h"

namespace {
constexpr UINT kPooledSides[] = {64, 128};
constexpr std::int32_t kPictureSide = 64;
}  // namespace

std::vector<std::uint8_t> PooledDocument() {
  const std::vector<std::uint32_t> pixels(kPictureSide * kPictureSide, 0xFF4080C0);
  return vfktest::WriteVfk(
      vfktest::ThumbnailDocument(kPictureSide, kPictureSide, pixels, vfktest::kZlib));
}

bool ThumbnailAtPooledSides(const LoadedServer& server, const std::vector<std::uint8_t>& document) {
  for (const UINT cx : kPooledSides) {
    ComRef<IClassFactory> factory;
    if (server.GetClassObject(CLSID_VfkThumbnailProvider, IID_IClassFactory, factory.PutVoid()) !=
        S_OK) {
      return false;
    }
    ComRef<IInitializeWithStream> init;
    if (factory->CreateInstance(nullptr, IID_IInitializeWithStream, init.PutVoid()) != S_OK) {
      return false;
    }
    ComRef<IStream> stream = MakeMemoryStream(document);
    ComRef<IThumbnailProvider> provider;
    if (init->Initialize(stream.Get(), STGM_READ) != S_OK ||
        init->QueryInterface(IID_IThumbnailProvider, provider.PutVoid()) != S_OK) {
      return false;
    }
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    const HRESULT result = provider->GetThumbnail(cx, &bitmap, &alpha);
    UniqueHBitmap owned(bitmap);
    if (result != S_OK) return false;
  }
  return true;
}
