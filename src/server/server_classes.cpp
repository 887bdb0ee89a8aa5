#include "server/server_classes.h"

#include "formats/native/vfk_thumbnail.h"
#include "formats/tnw/tnw_thumbnail.h"

namespace {

constexpr ServerClass kClasses[] = {
    {&CLSID_VfkThumbnailProvider, kNativeFormat, L".vfk",
     L"VfkThumbDll.VfkThumbnailProvider Class"},
    {&CLSID_TnwThumbnailProvider, kTnwFormat, L".vfq", L"VfkThumbDll.TnwThumbnailProvider Class"},
};

}  // namespace

std::span<const ServerClass> ServerClasses() noexcept { return kClasses; }

const ServerClass* FindServerClass(REFCLSID clsid) noexcept {
  for (const ServerClass& serverClass : kClasses) {
    if (*serverClass.clsid == clsid) return &serverClass;
  }
  return nullptr;
}

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
