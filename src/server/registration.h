// Self-registration under HKEY_CLASSES_ROOT. For each class, in the order of
// ServerClasses():
//
// | key                                         | value            | data                  |
// |---------------------------------------------|------------------|-----------------------|
// | CLSID\{clsid}                               | (default)        | the class key name    |
// | CLSID\{clsid}\InprocServer32                | (default)        | the library's path    |
// | CLSID\{clsid}\InprocServer32                | "ThreadingModel" | "Apartment"           |
// | {base}\shellex\{e357fccd-...-234630154e96}  | (default)        | {clsid}               |
//
// {base} is the document type that the extension's key names as its default
// value when there is one, else the extension itself. All values are REG_SZ.
// Both functions stop at the first failure and return it as an HRESULT; what
// was done stays done. Key names longer than 259 characters give
// STRSAFE_E_INSUFFICIENT_BUFFER.
#pragma once

#include <windows.h>

// Writes the keys above for `module`'s file path, then tells the shell that
// associations changed. A path that fills the whole 260-character buffer may
// have been cut: HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), nothing
// written.
HRESULT RegisterServer(HMODULE module) noexcept;

// Deletes CLSID\{clsid} and {base}\shellex\{...} of each class. A class key
// that is absent stops it with 0x80070002.
HRESULT UnregisterServer() noexcept;
