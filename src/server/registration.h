// Self-registration, machine-wide under HKEY_LOCAL_MACHINE\Software\Classes
// or for the current user under HKEY_CURRENT_USER\Software\Classes (no
// administrator needed; it wins over the machine-wide keys in the shell's
// merged view, HKEY_CLASSES_ROOT). For each class, in the order of
// ServerClasses():
//
// | key                                         | value            | data                  |
// |---------------------------------------------|------------------|-----------------------|
// | CLSID\{clsid}                               | (default)        | the class key name    |
// | CLSID\{clsid}\InprocServer32                | (default)        | the library's path    |
// | CLSID\{clsid}\InprocServer32                | "ThreadingModel" | "Apartment"           |
// | {base}\shellex\{interface}                   | (default)        | {clsid}               |
//
// {interface} is {e357fccd-a995-4576-b01f-234630154e96} (IThumbnailProvider)
// for thumbnail classes and {8895b1c6-b41f-4c1c-a562-0d564250836f}
// (IPreviewHandler) for preview classes, which also get:
//
// | key                                         | value            | data                  |
// |---------------------------------------------|------------------|-----------------------|
// | CLSID\{clsid}                               | "DisplayName"    | the display name      |
// | CLSID\{clsid}                               | "AppID"          | the preview host      |
// | ...\CurrentVersion\PreviewHandlers (*)      | "{clsid}"        | the display name      |
//
// The preview host is {6d2b5079-2f0b-48dd-ab7f-97cec514d30b}, or
// {534A1E02-D58F-44f0-B58B-36CBED287C7C} for the 32-bit DLL on 64-bit
// Windows. (*) is Software\Microsoft\Windows\CurrentVersion\PreviewHandlers
// under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER itself (not under
// Software\Classes), in the 64-bit view the shell reads.
//
// {base} is the document type that the extension's key names as its default
// value when there is one, else the extension itself; the extension is read
// from the merged HKEY_CLASSES_ROOT in both scopes, as the shell reads it, so
// a per-user install beside a machine-wide document type goes under that
// type and leaves the extension's key alone. All values are REG_SZ.
// Both functions stop at the first failure and return it as an HRESULT; what
// was done stays done. Key names longer than 259 characters give
// STRSAFE_E_INSUFFICIENT_BUFFER.
#pragma once

#include <windows.h>

enum class RegistrationScope { kMachine, kUser };

// Writes the keys above for `module`'s file path, then tells the shell that
// associations changed. A path that fills the whole 260-character buffer may
// have been cut: HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), nothing
// written.
HRESULT RegisterServer(HMODULE module,
                       RegistrationScope scope = RegistrationScope::kMachine) noexcept;

// Deletes CLSID\{clsid} and {base}\shellex\{...} of each class, and a
// preview class's PreviewHandlers entry; the latter two only when the class
// is left in neither registry view (the 32- and 64-bit DLLs share them on
// 64-bit Windows). A class key that is absent stops it with 0x80070002.
HRESULT UnregisterServer(RegistrationScope scope = RegistrationScope::kMachine) noexcept;
