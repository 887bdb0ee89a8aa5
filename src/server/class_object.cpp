#include "server/class_object.h"

#include "provider/module_count.h"
#include "server/class_factory.h"
#include "server/server_classes.h"

HRESULT GetServerClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept {
  const ServerClass* serverClass = FindServerClass(clsid);
  if (!serverClass) return CLASS_E_CLASSNOTAVAILABLE;
  return CreateClassFactory(*serverClass, riid, object);
}

HRESULT CanUnloadServer() noexcept { return ModuleCount() > 0 ? S_FALSE : S_OK; }
