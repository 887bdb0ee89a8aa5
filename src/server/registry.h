// Small owners and calls over the registry API that registration needs.
// Every failure is an HRESULT; a Win32 code c > 0 becomes
// 0x80070000 | (c & 0xFFFF), and 0 or a negative value stays as it is.
#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "platform/unique_resource.h"

// Room of every key name, path and value text: MAX_PATH characters,
// terminator included.
inline constexpr std::size_t kTextCapacity = 260;
using RegistryText = std::array<wchar_t, kTextCapacity>;

struct HKeyTraits {
  using Handle = HKEY;
  static HKEY Invalid() noexcept { return nullptr; }
  static void Close(HKEY key) noexcept { RegCloseKey(key); }
};
using UniqueHKey = UniqueResource<HKeyTraits>;

HRESULT Win32ToHresult(LONG code) noexcept;

// Creates or opens `classes`\`name` for writing and sets the value
// `valueName` (null: the default value) to `data` as REG_SZ.
HRESULT WriteClassesString(HKEY classes, const wchar_t* name, const wchar_t* valueName,
                           const wchar_t* data) noexcept;

// A default value read back: up to kTextCapacity characters and always a
// terminator after them.
using DefaultValueText = std::array<wchar_t, kTextCapacity + 1>;

// The default value of HKEY_CLASSES_ROOT\`name` when the key opens for
// reading and the value is a string of at most kTextCapacity characters'
// bytes. The data is not trusted to end in a zero: it is cut at its first
// zero or at its length, whichever comes first.
std::optional<DefaultValueText> ReadClassesRootDefault(const wchar_t* name) noexcept;
