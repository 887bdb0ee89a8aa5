// Reads of HKEY_CLASSES_ROOT for the programs that check what registration
// wrote and that resolve handlers the way the shell does.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/registry_string.h"

// A string value of HKEY_CLASSES_ROOT (platform::RegistryString).
inline std::optional<std::wstring> ClassesRootString(const std::wstring& key,
                                                     const wchar_t* name = nullptr) {
  return platform::RegistryString(HKEY_CLASSES_ROOT, key, name);
}

// The same as Windows' HKEY_CLASSES_ROOT reads it: the user's own classes
// (HKEY_CURRENT_USER\Software\Classes) over the machine's. Wine's
// HKEY_CLASSES_ROOT is the machine's classes alone.
inline std::optional<std::wstring> MergedClassesString(const std::wstring& key,
                                                       const wchar_t* name = nullptr) {
  if (auto user = platform::RegistryString(HKEY_CURRENT_USER, L"Software\\Classes\\" + key, name))
    return user;
  return ClassesRootString(key, name);
}

// The class the shell asks for the handler `handlerKey` (L"\\shellex\\{...}")
// of an extension such as L".vfk": entered under the document type the
// extension names, else under the extension; merged as Windows merges.
inline std::optional<std::wstring> ShellHandlerClass(const std::wstring& extension,
                                                     const wchar_t* handlerKey) {
  if (const std::optional<std::wstring> type = MergedClassesString(extension);
      type && !type->empty()) {
    if (auto clsid = MergedClassesString(*type + handlerKey)) return clsid;
  }
  return MergedClassesString(extension + handlerKey);
}
