#include "server/registration.h"

#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
// strsafe.h last: it marks the unbounded string functions deprecated.
#define STRSAFE_NO_DEPRECATE
#include <strsafe.h>

#include "server/registry.h"
#include "server/server_classes.h"

namespace {

constexpr wchar_t kThreadingModel[] = L"ThreadingModel";
constexpr wchar_t kApartment[] = L"Apartment";

// Formats `pattern` with one text into a kTextCapacity buffer;
// STRSAFE_E_INSUFFICIENT_BUFFER when the result does not fit.
HRESULT FormatKeyName(RegistryText& name, const wchar_t* pattern, const wchar_t* text) noexcept {
  return StringCchPrintfW(name.data(), name.size(), pattern, text);
}

// The key names of one class: CLSID\{clsid}, its InprocServer32 and the
// shell-extension key under {base}.
struct ClassKeys {
  RegistryText clsidText{};
  RegistryText classKey{};
  RegistryText serverKey{};
  RegistryText handlerKey{};
};

HRESULT MakeClassKeys(const ServerClass& serverClass, ClassKeys& keys) noexcept {
  if (StringFromGUID2(*serverClass.clsid, keys.clsidText.data(),
                      static_cast<int>(keys.clsidText.size())) == 0) {
    return STRSAFE_E_INSUFFICIENT_BUFFER;
  }
  HRESULT result = FormatKeyName(keys.classKey, L"CLSID\\%s", keys.clsidText.data());
  if (SUCCEEDED(result)) {
    result = FormatKeyName(keys.serverKey, L"CLSID\\%s\\InprocServer32", keys.clsidText.data());
  }
  return result;
}

// {base}\shellex\{interface} for the class's extension: {base} is the
// document type the extension's key names, when it names one, else the
// extension. Failing to read the extension's key is not an error.
HRESULT MakeHandlerKey(const ServerClass& serverClass, RegistryText& handlerKey) noexcept {
  const std::optional<DefaultValueText> documentType =
      ReadClassesRootDefault(serverClass.extension);
  const wchar_t* base =
      documentType && (*documentType)[0] != L'\0' ? documentType->data() : serverClass.extension;
  return StringCchPrintfW(handlerKey.data(), handlerKey.size(), L"%s\\shellex\\%s", base,
                          HandlerInterface(serverClass.kind));
}

// `root`\...\PreviewHandlers, in the 64-bit view the shell reads (the same
// key on 32-bit Windows).
HRESULT OpenPreviewHandlers(HKEY root, bool create, UniqueHKey& key) noexcept {
  constexpr REGSAM kAccess = KEY_READ | KEY_WRITE | KEY_WOW64_64KEY;
  return Win32ToHresult(create ? RegCreateKeyExW(root, kPreviewHandlersKey, 0, nullptr, 0, kAccess,
                                                 nullptr, key.Put(), nullptr)
                               : RegOpenKeyExW(root, kPreviewHandlersKey, 0, kAccess, key.Put()));
}

// A preview class's own values: its display name and its host on the class
// key, and its entry in the list of preview handlers.
HRESULT RegisterPreviewValues(HKEY root, HKEY classes, const ServerClass& serverClass,
                              const ClassKeys& keys) noexcept {
  HRESULT result =
      WriteClassesString(classes, keys.classKey.data(), L"DisplayName", serverClass.displayName);
  if (SUCCEEDED(result))
    result = WriteClassesString(classes, keys.classKey.data(), L"AppID", PreviewHostAppId());
  UniqueHKey list;
  if (SUCCEEDED(result)) result = OpenPreviewHandlers(root, true, list);
  if (SUCCEEDED(result)) {
    result = WriteClassesString(list.Get(), L"", keys.clsidText.data(), serverClass.displayName);
  }
  return result;
}

HRESULT RegisterServerClass(HKEY root, HKEY classes, const ServerClass& serverClass,
                            const wchar_t* modulePath) noexcept {
  ClassKeys keys;
  HRESULT result = MakeClassKeys(serverClass, keys);
  if (SUCCEEDED(result)) {
    result = WriteClassesString(classes, keys.classKey.data(), nullptr, serverClass.classKeyName);
  }
  if (SUCCEEDED(result))
    result = WriteClassesString(classes, keys.serverKey.data(), nullptr, modulePath);
  if (SUCCEEDED(result)) {
    result = WriteClassesString(classes, keys.serverKey.data(), kThreadingModel, kApartment);
  }
  if (SUCCEEDED(result) && serverClass.kind == HandlerKind::kPreview)
    result = RegisterPreviewValues(root, classes, serverClass, keys);
  if (SUCCEEDED(result)) result = MakeHandlerKey(serverClass, keys.handlerKey);
  if (SUCCEEDED(result)) {
    result = WriteClassesString(classes, keys.handlerKey.data(), nullptr, keys.clsidText.data());
  }
  return result;
}

// Whether CLSID\{clsid} is still registered under `root`\Software\Classes
// in either registry view. On 64-bit Windows the 32- and 64-bit DLLs each
// keep their class in their own view, while the handler keys under the
// extension are shared; on 32-bit Windows both reads see the one view.
bool RegisteredInEitherView(HKEY root, const ClassKeys& keys) noexcept {
  RegistryText name{};
  if (FAILED(FormatKeyName(name, L"Software\\Classes\\%s", keys.classKey.data()))) return true;
  for (const REGSAM view : {REGSAM{KEY_WOW64_64KEY}, REGSAM{KEY_WOW64_32KEY}}) {
    UniqueHKey key;
    if (RegOpenKeyExW(root, name.data(), 0, REGSAM{KEY_READ} | view, key.Put()) == ERROR_SUCCESS) {
      return true;
    }
  }
  return false;
}

// Deletes `parent`\`name` (in registry view `view`) when it holds neither
// values nor subkeys: registration created it on the way to its values.
void DeleteIfEmpty(HKEY parent, const wchar_t* name, REGSAM view = 0) noexcept {
  UniqueHKey key;
  if (RegOpenKeyExW(parent, name, 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS) return;
  DWORD subkeys = 0;
  DWORD values = 0;
  if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
      subkeys == 0 && values == 0) {
    key.Reset();
    RegDeleteKeyExW(parent, name, view, 0);
  }
}

// Deletes the class, and its handler key (and a preview class's entry in
// the list of preview handlers) unless the other bitness's DLL still has
// the class registered: these are theirs too. Then {base}\shellex and
// {base} go too where nothing else is left in them.
HRESULT UnregisterServerClass(HKEY root, HKEY classes, const ServerClass& serverClass) noexcept {
  ClassKeys keys;
  HRESULT result = MakeClassKeys(serverClass, keys);
  if (SUCCEEDED(result)) result = Win32ToHresult(RegDeleteTreeW(classes, keys.classKey.data()));
  if (FAILED(result) || RegisteredInEitherView(root, keys)) return result;
  if (serverClass.kind == HandlerKind::kPreview) {
    UniqueHKey list;
    // Only our entry. The machine's list is the system's and stays even when
    // empty; a user's list exists for per-user installs, and goes with the
    // last entry.
    if (SUCCEEDED(OpenPreviewHandlers(root, false, list))) {
      RegDeleteValueW(list.Get(), keys.clsidText.data());
      list.Reset();
      if (root == HKEY_CURRENT_USER) DeleteIfEmpty(root, kPreviewHandlersKey, KEY_WOW64_64KEY);
    }
  }
  result = MakeHandlerKey(serverClass, keys.handlerKey);
  if (SUCCEEDED(result)) result = Win32ToHresult(RegDeleteTreeW(classes, keys.handlerKey.data()));
  if (SUCCEEDED(result)) {
    // handlerKey is {base}\shellex\{...}: cut it back one level at a time.
    for (int level = 0; level < 2; ++level) {
      *std::wcsrchr(keys.handlerKey.data(), L'\\') = L'\0';
      DeleteIfEmpty(classes, keys.handlerKey.data());
    }
  }
  return result;
}

// The scope's Software\Classes under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER,
// opened (created when writing) here. Never HKEY_CLASSES_ROOT: writes there
// go to the user's classes wherever the key exists there already.
class ClassesKey {
 public:
  HRESULT Open(RegistrationScope scope, bool create) noexcept {
    root_ = scope == RegistrationScope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    constexpr wchar_t kClasses[] = L"Software\\Classes";
    constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
    const LONG status = create ? RegCreateKeyExW(root_, kClasses, 0, nullptr, 0, kAccess, nullptr,
                                                 key_.Put(), nullptr)
                               : RegOpenKeyExW(root_, kClasses, 0, kAccess, key_.Put());
    return Win32ToHresult(status);
  }
  HKEY Root() const noexcept { return root_; }
  HKEY Get() const noexcept { return key_.Get(); }

 private:
  HKEY root_ = nullptr;
  UniqueHKey key_;
};

}  // namespace

HRESULT RegisterServer(HMODULE module, RegistrationScope scope) noexcept {
  RegistryText modulePath{};
  const DWORD length =
      GetModuleFileNameW(module, modulePath.data(), static_cast<DWORD>(modulePath.size()));
  if (length == 0) return Win32ToHresult(static_cast<LONG>(GetLastError()));
  if (length >= modulePath.size()) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

  ClassesKey classes;
  if (const HRESULT result = classes.Open(scope, true); FAILED(result)) return result;
  for (const ServerClass& serverClass : ServerClasses()) {
    const HRESULT result =
        RegisterServerClass(classes.Root(), classes.Get(), serverClass, modulePath.data());
    if (FAILED(result)) return result;
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return S_OK;
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
  ClassesKey classes;
  if (const HRESULT result = classes.Open(scope, false); FAILED(result)) return result;
  for (const ServerClass& serverClass : ServerClasses()) {
    const HRESULT result = UnregisterServerClass(classes.Root(), classes.Get(), serverClass);
    if (FAILED(result)) return result;
  }
  return S_OK;
}
