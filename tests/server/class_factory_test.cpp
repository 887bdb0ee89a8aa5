// The server's rules through the server code linked into this program, and
// what happens when its objects cannot be allocated.
#include <atomic>
#include <cstdint>
#include <new>

#include "platform/com_ref.h"
#include "server/class_object.h"
#include "server/server_classes.h"
#include "server_rules.h"

namespace {

std::atomic<bool> failNextNothrowNew{false};

}  // namespace

// The server makes its objects with new (std::nothrow); this one fails once
// when asked to.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (failNextNothrowNew.exchange(false)) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  return GetServerClassObject(clsid, riid, object);
}
HRESULT CanUnloadNow() { return CanUnloadServer(); }

INSTANTIATE_TEST_SUITE_P(Linked, ServerRules,
                         testing::Values(ServerEntry{"Linked", GetClassObject, CanUnloadNow}),
                         RouteName);

void* const kSentinel = reinterpret_cast<void*>(std::uintptr_t{0x5EE});

TEST(ServerObjects, ReportOutOfMemoryWithANullOutPointer) {
  void* object = kSentinel;
  failNextNothrowNew = true;
  EXPECT_EQ(GetServerClassObject(CLSID_VfkThumbnailProvider, IID_IClassFactory, &object),
            E_OUTOFMEMORY);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CanUnloadServer(), S_OK);

  ComRef<IClassFactory> factory;
  ASSERT_EQ(GetServerClassObject(CLSID_TnwThumbnailProvider, IID_IClassFactory, factory.PutVoid()),
            S_OK);
  object = kSentinel;
  failNextNothrowNew = true;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IThumbnailProvider, &object), E_OUTOFMEMORY);
  EXPECT_EQ(object, nullptr);
  factory.Reset();
  EXPECT_EQ(CanUnloadServer(), S_OK);
}

TEST(ServerObjects, RefuseANullOutPointer) {
  EXPECT_EQ(GetServerClassObject(CLSID_VfkThumbnailProvider, IID_IClassFactory, nullptr),
            E_POINTER);
  ComRef<IClassFactory> factory;
  ASSERT_EQ(GetServerClassObject(CLSID_VfkThumbnailProvider, IID_IClassFactory, factory.PutVoid()),
            S_OK);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IThumbnailProvider, nullptr), E_POINTER);
  factory.Reset();
  EXPECT_EQ(CanUnloadServer(), S_OK);
}

}  // namespace
