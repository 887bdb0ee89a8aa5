// Reads of HKEY_CLASSES_ROOT for the programs that check what registration
// wrote and that resolve handlers the way the shell does.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The REG_SZ value `name` (null: the default value) of `root`\`key`.
inline std::optional<std::wstring> RegistryString(HKEY root, const std::wstring& key,
                                                  const wchar_t* name = nullptr) {
  std::vector<wchar_t> data(1024);
  DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data.data(), &bytes) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(data.data());
}

// The same under HKEY_CLASSES_ROOT.
inline std::optional<std::wstring> ClassesRootString(const std::wstring& key,
                                                     const wchar_t* name = nullptr) {
  return RegistryString(HKEY_CLASSES_ROOT, key, name);
}

// The same as Windows' HKEY_CLASSES_ROOT reads it: the user's own classes
// (HKEY_CURRENT_USER\Software\Classes) over the machine's. Wine's
// HKEY_CLASSES_ROOT is the machine's classes alone.
inline std::optional<std::wstring> MergedClassesString(const std::wstring& key,
                                                       const wchar_t* name = nullptr) {
  if (auto user = RegistryString(HKEY_CURRENT_USER, L"Software\\Classes\\" + key, name))
    return user;
  return ClassesRootString(key, name);
}
