// The class factory behind DllGetClassObject: one object per request,
// carrying its class, whose create function makes every object with the
// loader of the class's format.
// It answers IClassFactory and IUnknown only, refuses aggregation, and holds
// the module count for its whole life; LockServer moves the module count.
#pragma once

#include "platform/com.h"
#include "server/server_classes.h"

// Creates a factory for `serverClass` (one of ServerClasses()) with one reference,
// asks it for `riid` and gives up that reference: a refused interface frees
// the factory again. E_POINTER for a null out pointer; E_OUTOFMEMORY with
// *object null when the factory cannot be made.
HRESULT CreateClassFactory(const ServerClass& serverClass, REFIID riid, void** object) noexcept;
