// Reads of HKEY_CLASSES_ROOT for the programs that check what registration
// wrote and that resolve handlers the way the shell does.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The REG_SZ value `name` (null: the default value) of HKEY_CLASSES_ROOT\`key`.
inline std::optional<std::wstring> ClassesRootString(const std::wstring& key,
                                                     const wchar_t* name = nullptr) {
  std::vector<wchar_t> data(1024);
  DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data.data(),
                   &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(data.data());
}
