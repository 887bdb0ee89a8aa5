#include "server/class_factory.h"

#include <atomic>
#include <new>

#include "platform/floating_point.h"
#include "provider/module_count.h"
#include "server/server_classes.h"

namespace {

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(const ServerClass& serverClass) noexcept : serverClass_(serverClass) {}

  // IUnknown
  IFACEMETHODIMP QueryInterface(REFIID riid, void** object) noexcept override;
  IFACEMETHODIMP_(ULONG) AddRef() noexcept override;
  IFACEMETHODIMP_(ULONG) Release() noexcept override;
  // IClassFactory
  IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override;
  IFACEMETHODIMP LockServer(BOOL lock) noexcept override;

 private:
  ~ClassFactory() = default;

  const ServerClass& serverClass_;
  std::atomic<LONG> refs_{1};
  ModuleRef moduleRef_;
};

IFACEMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** object) noexcept {
  static const QITAB kInterfaces[] = {
      QITABENT(ClassFactory, IClassFactory),
      {},
  };
  return QISearch(this, kInterfaces, riid, object);
}

IFACEMETHODIMP_(ULONG) ClassFactory::AddRef() noexcept {
  return static_cast<ULONG>(refs_.fetch_add(1, std::memory_order_relaxed) + 1);
}

IFACEMETHODIMP_(ULONG) ClassFactory::Release() noexcept {
  const LONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

IFACEMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  if (outer) return CLASS_E_NOAGGREGATION;
  return serverClass_.create(LoaderOf(serverClass_.formatSelector), riid, object);
}

IFACEMETHODIMP ClassFactory::LockServer(BOOL lock) noexcept {
  const platform::DefaultFloatingPoint floatingPoint;
  if (lock) {
    LockModule();
  } else {
    UnlockModule();
  }
  return S_OK;
}

}  // namespace

HRESULT CreateClassFactory(const ServerClass& serverClass, REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  auto* factory = new (std::nothrow) ClassFactory(serverClass);
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT result = factory->QueryInterface(riid, object);
  factory->Release();
  return result;
}
