// The server's rules through the exports of the built library.
#include "loaded_server.h"
#include "server_rules.h"

namespace {

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  return ProcessServer().GetClassObject(clsid, riid, object);
}
HRESULT CanUnloadNow() { return ProcessServer().CanUnloadNow(); }

INSTANTIATE_TEST_SUITE_P(Dll, ServerRules,
                         testing::Values(ServerEntry{"Dll", GetClassObject, CanUnloadNow}),
                         RouteName);

TEST(VfkThumbDll, LoadsFromBesideTheTests) { ASSERT_TRUE(ProcessServer().Loaded()); }

}  // namespace
