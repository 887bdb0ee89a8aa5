#include "server/registry.h"

#include <algorithm>
#include <cwchar>

HRESULT Win32ToHresult(LONG code) noexcept {
  if (code <= 0) return static_cast<HRESULT>(code);
  return static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(code) & 0xFFFFu));
}

HRESULT WriteClassesString(HKEY classes, const wchar_t* name, const wchar_t* valueName,
                           const wchar_t* data) noexcept {
  UniqueHKey key;
  LONG status =
      RegCreateKeyExW(classes, name, 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr);
  if (status != ERROR_SUCCESS) return Win32ToHresult(status);
  const auto bytes = static_cast<DWORD>((std::wcslen(data) + 1) * sizeof(wchar_t));
  status =
      RegSetValueExW(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes);
  return Win32ToHresult(status);
}

std::optional<DefaultValueText> ReadClassesRootDefault(const wchar_t* name) noexcept {
  UniqueHKey key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DefaultValueText text{};  // zero-filled: the last character stays the terminator
  DWORD type = 0;
  DWORD bytes = kTextCapacity * sizeof(wchar_t);
  if (RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                       &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  const std::size_t length = std::min<std::size_t>(bytes / sizeof(wchar_t), kTextCapacity);
  std::fill(text.begin() + static_cast<std::ptrdiff_t>(length), text.end(), L'\0');
  return text;
}
