// The two COM classes the server offers. Both are VeskThumbnailProvider;
// they differ in the loader the class factory binds, chosen by the format
// selector. The class identifiers are fixed: the registry and every shell
// that ever cached them name these values.
#pragma once

#include <cstdint>
#include <span>

#include "platform/com.h"
#include "provider/loader.h"

// {520253B3-A2A2-4A9E-9FD6-54A1FD2EE8E9}
inline constexpr CLSID CLSID_VfkThumbnailProvider = {
    0x520253b3, 0xa2a2, 0x4a9e, {0x9f, 0xd6, 0x54, 0xa1, 0xfd, 0x2e, 0xe8, 0xe9}};
// {E9F2C83C-FF7E-45FF-8452-36E2503CD8CB}
inline constexpr CLSID CLSID_TnwThumbnailProvider = {
    0xe9f2c83c, 0xff7e, 0x45ff, {0x84, 0x52, 0x36, 0xe2, 0x50, 0x3c, 0xd8, 0xcb}};

inline constexpr std::int32_t kNativeFormat = 0;
inline constexpr std::int32_t kTnwFormat = 1;

struct ServerClass {
  const CLSID* clsid;
  std::int32_t formatSelector;
  const wchar_t* extension;     // the document extension the class serves
  const wchar_t* classKeyName;  // default value of CLSID\{clsid}
};

// In registration order: the native class, then the TNW class.
std::span<const ServerClass> ServerClasses() noexcept;

// The class with this identifier, or null.
const ServerClass* FindServerClass(REFCLSID clsid) noexcept;

// The loader a format selector binds: ReadVfkThumbnail for 0, the TNW loader
// for 1, null for anything else.
Loader LoaderOf(std::int32_t formatSelector) noexcept;
