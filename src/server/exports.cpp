// The four entry points the library exports (listed in VfkThumbDll.def).
// Each answers an HRESULT and lets no exception out.
#include <windows.h>

#include "server/class_object.h"
#include "server/module_entry.h"
#include "server/registration.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  return GetServerClassObject(clsid, riid, object);
}

STDAPI DllCanUnloadNow() { return CanUnloadServer(); }

STDAPI DllRegisterServer() { return RegisterServer(ServerModule()); }

STDAPI DllUnregisterServer() { return UnregisterServer(); }
