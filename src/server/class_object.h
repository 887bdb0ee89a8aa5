// What DllGetClassObject and DllCanUnloadNow answer, apart from the export
// declarations, so the same code runs in the DLL and in native tests.
#pragma once

#include "platform/com.h"

// A new class factory for one of the two server classes, asked for `riid`.
// CLASS_E_CLASSNOTAVAILABLE, out pointer untouched, for any other class.
HRESULT GetServerClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept;

// S_FALSE while factories, providers or server locks are alive, else S_OK.
HRESULT CanUnloadServer() noexcept;
