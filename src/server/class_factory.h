// The class factory behind DllGetClassObject: one object per request,
// carrying the format selector whose loader every provider it makes holds.
// It answers IClassFactory and IUnknown only, refuses aggregation, and holds
// the module count for its whole life; LockServer moves the module count.
#pragma once

#include <cstdint>

#include "platform/com.h"

// Creates a factory for `formatSelector` (0 native, 1 TNW) with one reference,
// asks it for `riid` and gives up that reference: a refused interface frees
// the factory again. E_POINTER for a null out pointer; E_OUTOFMEMORY with
// *object null when the factory cannot be made.
HRESULT CreateClassFactory(std::int32_t formatSelector, REFIID riid, void** object) noexcept;
