// The server's rules for class objects, factories and the module count,
// written once and checked through two routes: the server code linked into
// the test program, and the exports of the built VfkThumbDll.dll (under
// Wine). Each route instantiates ServerRules with its entry points.
#pragma once

#include <gtest/gtest.h>

#include "platform/com.h"

struct ServerEntry {
  const char* route;
  HRESULT (*getClassObject)(REFCLSID clsid, REFIID riid, void** object);
  HRESULT (*canUnloadNow)();
};

class ServerRules : public testing::TestWithParam<ServerEntry> {};

inline std::string RouteName(const testing::TestParamInfo<ServerEntry>& info) {
  return info.param.route;
}

// Test names and failure messages show the route, not the entry's bytes.
inline void PrintTo(const ServerEntry& entry, std::ostream* out) { *out << entry.route; }
