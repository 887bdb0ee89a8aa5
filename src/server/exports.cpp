// The entry points the library exports (listed in VfkThumbDll.def). Each
// answers an HRESULT, lets no exception out and runs under the default
// floating-point environment.
#include <windows.h>

#include "platform/floating_point.h"
#include "server/class_object.h"
#include "server/module_entry.h"
#include "server/registration.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  const platform::DefaultFloatingPoint floatingPoint;
  return GetServerClassObject(clsid, riid, object);
}

STDAPI DllCanUnloadNow() { return CanUnloadServer(); }

STDAPI DllRegisterServer() {
  const platform::DefaultFloatingPoint floatingPoint;
  return RegisterServer(ServerModule());
}

STDAPI DllUnregisterServer() {
  const platform::DefaultFloatingPoint floatingPoint;
  return UnregisterServer();
}

// `regsvr32 /n /i:user` installs for the current user only, `regsvr32 /u /n
// /i:user` removes that install; any other command line is refused.
STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
  const platform::DefaultFloatingPoint floatingPoint;
  if (!commandLine || CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) != CSTR_EQUAL)
    return E_INVALIDARG;
  return install ? RegisterServer(ServerModule(), RegistrationScope::kUser)
                 : UnregisterServer(RegistrationScope::kUser);
}
