// The COM classes the server offers: per format, the thumbnail provider
// and (on Windows) the preview handler. A class's object is made by its
// handler's create function with the loader its format selector binds. The
// class identifiers are fixed: the registry and every shell that ever
// cached them name these values.
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

// {0F7ED916-FE75-4656-91B4-E5F872879BC6}
inline constexpr CLSID CLSID_VfkPreviewHandler = {
    0x0f7ed916, 0xfe75, 0x4656, {0x91, 0xb4, 0xe5, 0xf8, 0x72, 0x87, 0x9b, 0xc6}};
// {41634EF9-72F2-42CF-83F7-3494166F1A1C}
inline constexpr CLSID CLSID_TnwPreviewHandler = {
    0x41634ef9, 0x72f2, 0x42cf, {0x83, 0xf7, 0x34, 0x94, 0x16, 0x6f, 0x1a, 0x1c}};

inline constexpr std::int32_t kNativeFormat = 0;
inline constexpr std::int32_t kTnwFormat = 1;

enum class HandlerKind { kThumbnail, kPreview };

// Makes one object of a class: CreateVeskThumbnailProvider's contract.
using CreateHandler = HRESULT (*)(Loader loader, REFIID riid, void** object) noexcept;

struct ServerClass {
  const CLSID* clsid;
  std::int32_t formatSelector;
  const wchar_t* extension;     // the document extension the class serves
  const wchar_t* classKeyName;  // default value of CLSID\{clsid}
  HandlerKind kind;
  CreateHandler create;
  const wchar_t* displayName;  // what the shell shows of a preview handler; null for thumbnails
};

// In registration order: the native and TNW thumbnail classes, then (on
// Windows) the native and TNW preview classes.
std::span<const ServerClass> ServerClasses() noexcept;

// The class with this identifier, or null.
const ServerClass* FindServerClass(REFCLSID clsid) noexcept;

// The name of a class's key under {base}\shellex: the interface the shell
// asks the class for, {e357fccd-a995-4576-b01f-234630154e96}
// (IThumbnailProvider) or {8895b1c6-b41f-4c1c-a562-0d564250836f}
// (IPreviewHandler).
const wchar_t* HandlerInterface(HandlerKind kind) noexcept;

// Where preview handlers are listed, under HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER: a string value per class, named {clsid}, holding its
// display name.
inline constexpr wchar_t kPreviewHandlersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers";

#ifdef _WIN32
// The AppID of the shell's preview host that runs this DLL's preview
// handlers: {6d2b5079-2f0b-48dd-ab7f-97cec514d30b}, or for a 32-bit DLL on
// 64-bit Windows {534A1E02-D58F-44f0-B58B-36CBED287C7C}.
const wchar_t* PreviewHostAppId() noexcept;
#endif

// The loader a format selector binds: ReadVfkThumbnail for 0, the TNW loader
// for 1, null for anything else.
Loader LoaderOf(std::int32_t formatSelector) noexcept;
