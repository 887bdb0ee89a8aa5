#include "server/server_classes.h"

#include "formats/native/vfk_thumbnail.h"
#include "formats/tnw/tnw_thumbnail.h"
#include "provider/vesk_thumbnail_provider.h"
#ifdef _WIN32
#include "preview/preview_handler.h"
#endif

namespace {

constexpr ServerClass kClasses[] = {
    {&CLSID_VfkThumbnailProvider, kNativeFormat, L".vfk", L"VfkThumbDll.VfkThumbnailProvider Class",
     HandlerKind::kThumbnail, CreateVeskThumbnailProvider, nullptr},
    {&CLSID_TnwThumbnailProvider, kTnwFormat, L".vfq", L"VfkThumbDll.TnwThumbnailProvider Class",
     HandlerKind::kThumbnail, CreateVeskThumbnailProvider, nullptr},
#ifdef _WIN32  // the preview pane is a Windows window
    {&CLSID_VfkPreviewHandler, kNativeFormat, L".vfk", L"VfkThumbDll.VfkPreviewHandler Class",
     HandlerKind::kPreview, CreatePreviewHandler, L"Preview of .vfk documents"},
    {&CLSID_TnwPreviewHandler, kTnwFormat, L".vfq", L"VfkThumbDll.TnwPreviewHandler Class",
     HandlerKind::kPreview, CreatePreviewHandler, L"Preview of .vfq documents"},
#endif
};

}  // namespace

std::span<const ServerClass> ServerClasses() noexcept { return kClasses; }

const ServerClass* FindServerClass(REFCLSID clsid) noexcept {
  for (const ServerClass& serverClass : kClasses) {
    if (*serverClass.clsid == clsid) return &serverClass;
  }
  return nullptr;
}

const wchar_t* HandlerInterface(HandlerKind kind) noexcept {
  return kind == HandlerKind::kPreview ? L"{8895b1c6-b41f-4c1c-a562-0d564250836f}"
                                       : L"{e357fccd-a995-4576-b01f-234630154e96}";
}

#ifdef _WIN32
const wchar_t* PreviewHostAppId() noexcept {
#ifndef _WIN64
  BOOL wow64 = FALSE;
  if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)
    return L"{534A1E02-D58F-44f0-B58B-36CBED287C7C}";
#endif
  return L"{6d2b5079-2f0b-48dd-ab7f-97cec514d30b}";
}
#endif

Loader LoaderOf(std::int32_t formatSelector) noexcept {
  switch (formatSelector) {
    case kNativeFormat:
      return ReadVfkThumbnail;
    case kTnwFormat:
      return ReadTnwThumbnail;
    default:
      return nullptr;
  }
}
