// A string value read from the registry (Windows only), for the programs
// that check or follow what registration wrote.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The REG_SZ value `name` (null: the default value) of `root`\`key` (a
// REG_EXPAND_SZ one expanded), or nothing when the key, the value or a
// string is absent. RegGetValueW ends the data with a terminator. `view`
// may name a registry view (RRF_SUBKEY_WOW6464KEY, RRF_SUBKEY_WOW6432KEY).
inline std::optional<std::wstring> RegistryString(HKEY root, const std::wstring& key,
                                                  const wchar_t* name = nullptr, DWORD view = 0) {
  std::vector<wchar_t> data(1024);
  DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ | view, nullptr, data.data(), &bytes) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(data.data());
}

}  // namespace platform
