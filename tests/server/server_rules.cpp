#include "server_rules.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/com_ref.h"
#include "platform/memory_stream.h"
#include "platform/unique_resource.h"
#include "server/server_classes.h"
#include "vfk_writer.h"
#include "vfq_writer.h"

#ifdef _WIN32
#include <shobjidl.h>
#endif

namespace {

// {00000000-0000-0000-0000-0000000000A1}: no class of ours.
constexpr CLSID kUnknownClass = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0xA1}};

void* const kSentinel = reinterpret_cast<void*>(std::uintptr_t{0x5EE});

ULONG RefCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

ComRef<IClassFactory> Factory(const ServerEntry& entry, REFCLSID clsid) {
  ComRef<IClassFactory> factory;
  EXPECT_EQ(entry.getClassObject(clsid, IID_IClassFactory, factory.PutVoid()), S_OK);
  return factory;
}

std::vector<std::uint8_t> VfkDocument() {
  const std::vector<std::uint32_t> pixels(6 * 4, 0xFF336699);
  return vfktest::WriteVfk(vfktest::ThumbnailDocument(6, 4, pixels, vfktest::kZlib));
}

std::vector<std::uint8_t> VfqDocument() {
  const std::vector<std::uint32_t> pixels(6 * 4, 0xFF336699);
  return vfqtest::ThumbnailDocument(6, 4, pixels, vfqtest::kZstdBlob).Build();
}

TEST_P(ServerRules, CountsFactoriesProvidersAndLocks) {
  const ServerEntry& entry = GetParam();
  EXPECT_EQ(entry.canUnloadNow(), S_OK);
  ComRef<IClassFactory> factory = Factory(entry, CLSID_VfkThumbnailProvider);
  EXPECT_EQ(entry.canUnloadNow(), S_FALSE);

  ComRef<IThumbnailProvider> provider;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IThumbnailProvider, provider.PutVoid()), S_OK);
  factory.Reset();
  EXPECT_EQ(entry.canUnloadNow(), S_FALSE);  // the provider holds the module
  provider.Reset();
  EXPECT_EQ(entry.canUnloadNow(), S_OK);

  // A lock outlives the factory that took it; another factory gives it back.
  factory = Factory(entry, CLSID_TnwThumbnailProvider);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.Reset();
  EXPECT_EQ(entry.canUnloadNow(), S_FALSE);
  factory = Factory(entry, CLSID_VfkThumbnailProvider);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.Reset();
  EXPECT_EQ(entry.canUnloadNow(), S_OK);
}

TEST_P(ServerRules, RefusesUnknownClassesAndAggregationWithoutTouchingTheOutPointer) {
  const ServerEntry& entry = GetParam();
  void* object = kSentinel;
  EXPECT_EQ(entry.getClassObject(kUnknownClass, IID_IClassFactory, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, kSentinel);

  ComRef<IClassFactory> factory = Factory(entry, CLSID_TnwThumbnailProvider);
  EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, kSentinel);
  EXPECT_EQ(RefCount(factory.Get()), 1u);
  factory.Reset();
  EXPECT_EQ(entry.canUnloadNow(), S_OK);
}

TEST_P(ServerRules, ReleasesWhatItMadeWhenTheInterfaceIsRefused) {
  const ServerEntry& entry = GetParam();
  void* object = kSentinel;
  EXPECT_EQ(entry.getClassObject(CLSID_VfkThumbnailProvider, IID_IStream, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(entry.canUnloadNow(), S_OK);  // the factory is gone again

  ComRef<IClassFactory> factory = Factory(entry, CLSID_VfkThumbnailProvider);
  object = kSentinel;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  factory.Reset();
  EXPECT_EQ(entry.canUnloadNow(), S_OK);  // and so is the provider
}

TEST_P(ServerRules, FactoryAnswersItsOwnInterfaceTable) {
  const ServerEntry& entry = GetParam();
  ComRef<IUnknown> unknown;
  ASSERT_EQ(entry.getClassObject(CLSID_TnwThumbnailProvider, IID_IUnknown, unknown.PutVoid()),
            S_OK);
  ComRef<IClassFactory> factory;
  ASSERT_EQ(unknown->QueryInterface(IID_IClassFactory, factory.PutVoid()), S_OK);
  EXPECT_EQ(static_cast<void*>(factory.Get()), static_cast<void*>(unknown.Get()));
  EXPECT_EQ(RefCount(factory.Get()), 2u);
  void* object = kSentinel;
  EXPECT_EQ(unknown->QueryInterface(IID_IThumbnailProvider, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}

TEST_P(ServerRules, BindsEachClassToTheLoaderOfItsFormat) {
  const ServerEntry& entry = GetParam();
  std::vector<std::uint8_t> damaged = VfkDocument();
  damaged.resize(damaged.size() - 10);
  struct Case {
    const char* what;
    const CLSID* clsid;
    std::vector<std::uint8_t> document;
    HRESULT result;
  };
  const Case cases[] = {
      {"native class, .vfk", &CLSID_VfkThumbnailProvider, VfkDocument(), S_OK},
      {"native class, .vfq", &CLSID_VfkThumbnailProvider, VfqDocument(), S_FALSE},
      {"TNW class, .vfq", &CLSID_TnwThumbnailProvider, VfqDocument(), S_OK},
      {"TNW class, .vfk", &CLSID_TnwThumbnailProvider, VfkDocument(), S_FALSE},
      {"native class, cut .vfk", &CLSID_VfkThumbnailProvider, damaged, S_FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ComRef<IStream> stream = MakeMemoryStream(c.document);
    {
      ComRef<IInitializeWithStream> init;
      ASSERT_EQ(Factory(entry, *c.clsid)
                    ->CreateInstance(nullptr, IID_IInitializeWithStream, init.PutVoid()),
                S_OK);
      ASSERT_EQ(init->Initialize(stream.Get(), STGM_READ), S_OK);
      ComRef<IThumbnailProvider> provider;
      ASSERT_EQ(init->QueryInterface(IID_IThumbnailProvider, provider.PutVoid()), S_OK);
      HBITMAP bitmap = nullptr;
      WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
      EXPECT_EQ(provider->GetThumbnail(32, &bitmap, &alpha), c.result);
      UniqueHBitmap owned(bitmap);
      EXPECT_EQ(bitmap != nullptr, c.result == S_OK);
    }
    EXPECT_EQ(RefCount(stream.Get()), 1u);  // the provider's reference is back
    EXPECT_EQ(entry.canUnloadNow(), S_OK);
  }
}

#ifdef _WIN32
// The preview classes make preview handlers that read the document at
// Initialize and hold no reference to its stream after it; nothing is shown
// before SetWindow, and Unload lets the handler be initialised again. (The
// pane itself needs a display: tests/wine/preview_pane.sh.)
TEST_P(ServerRules, PreviewClassesMakePreviewHandlersThatLetTheStreamGo) {
  const ServerEntry& entry = GetParam();
  const std::pair<const CLSID*, std::vector<std::uint8_t>> cases[] = {
      {&CLSID_VfkPreviewHandler, VfkDocument()}, {&CLSID_TnwPreviewHandler, VfqDocument()}};
  for (const auto& [clsid, document] : cases) {
    ComRef<IStream> stream = MakeMemoryStream(document);
    ComRef<IStream> again = MakeMemoryStream(document);
    {
      ComRef<IPreviewHandler> preview;
      ASSERT_EQ(
          Factory(entry, *clsid)->CreateInstance(nullptr, IID_IPreviewHandler, preview.PutVoid()),
          S_OK);
      ComRef<IInitializeWithStream> init;
      ASSERT_EQ(preview->QueryInterface(IID_IInitializeWithStream, init.PutVoid()), S_OK);
      ComRef<IObjectWithSite> site;
      ASSERT_EQ(preview->QueryInterface(IID_IObjectWithSite, site.PutVoid()), S_OK);
      EXPECT_EQ(init->Initialize(nullptr, STGM_READ), E_INVALIDARG);
      ASSERT_EQ(init->Initialize(stream.Get(), STGM_READ), S_OK);
      EXPECT_EQ(RefCount(stream.Get()), 1u);
      EXPECT_EQ(init->Initialize(again.Get(), STGM_READ),
                HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
      EXPECT_EQ(preview->DoPreview(), E_FAIL);  // no window given
      EXPECT_EQ(preview->SetRect(nullptr), E_INVALIDARG);
      ComRef<IUnknown> noSite;
      EXPECT_EQ(site->GetSite(IID_IUnknown, noSite.PutVoid()), E_FAIL);
      MSG key{};
      EXPECT_EQ(preview->TranslateAccelerator(&key), S_FALSE);
      EXPECT_EQ(preview->Unload(), S_OK);
      EXPECT_EQ(init->Initialize(again.Get(), STGM_READ), S_OK);
      EXPECT_EQ(RefCount(again.Get()), 1u);
      EXPECT_EQ(entry.canUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(entry.canUnloadNow(), S_OK);
  }
}
#endif

}  // namespace
