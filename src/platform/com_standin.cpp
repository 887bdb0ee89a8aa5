#include "platform/com_standin.h"

#include <cstddef>
#include <cstring>
#include <new>

bool operator==(const GUID& a, const GUID& b) noexcept {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

HRESULT QISearch(void* that, const QITAB* table, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  for (const QITAB* row = table; row->piid; ++row) {
    if (riid == IID_IUnknown || riid == *row->piid) {
      auto* face = reinterpret_cast<IUnknown*>(static_cast<std::byte*>(that) + row->dwOffset);
      face->AddRef();
      *object = face;
      return S_OK;
    }
  }
  return E_NOINTERFACE;
}

namespace {

// A DIB section of the stand-in: its description and its rows, on the heap.
struct DibSection {
  DIBSECTION description;
  std::byte* bits;
};

constexpr WORD kBitsPerPixel = 32;
constexpr std::uint64_t kMaxBytes = std::uint64_t{1} << 31;  // refused like an exhausted heap

}  // namespace

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS || section || offset != 0) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth < 1 || header.biHeight == 0 ||
      header.biPlanes != 1 || header.biBitCount != kBitsPerPixel || header.biCompression != BI_RGB)
    return nullptr;
  const std::int64_t height =
      header.biHeight < 0 ? -std::int64_t{header.biHeight} : header.biHeight;
  const std::uint64_t stride = std::uint64_t(header.biWidth) * 4;
  if (stride * static_cast<std::uint64_t>(height) > kMaxBytes) return nullptr;
  const auto size = static_cast<std::size_t>(stride * static_cast<std::uint64_t>(height));
  auto* dib = new (std::nothrow) DibSection{};
  if (!dib) return nullptr;
  dib->bits = new (std::nothrow) std::byte[size]();
  if (!dib->bits) {
    delete dib;
    return nullptr;
  }
  dib->description.dsBm = BITMAP{0,
                                 header.biWidth,
                                 static_cast<LONG>(height),
                                 static_cast<LONG>(stride),
                                 1,
                                 kBitsPerPixel,
                                 dib->bits};
  dib->description.dsBmih = header;
  dib->description.dsBmih.biSizeImage = static_cast<DWORD>(size);
  if (bits) *bits = dib->bits;
  return reinterpret_cast<HBITMAP>(dib);
}

int GetObjectW(HGDIOBJ object, int size, void* out) {
  if (!object || !out) return 0;
  const DIBSECTION& description = static_cast<DibSection*>(object)->description;
  if (size >= static_cast<int>(sizeof(DIBSECTION))) {
    std::memcpy(out, &description, sizeof description);
    return sizeof description;
  }
  if (size >= static_cast<int>(sizeof(BITMAP))) {
    std::memcpy(out, &description.dsBm, sizeof description.dsBm);
    return sizeof description.dsBm;
  }
  return 0;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (!object) return 0;
  auto* dib = static_cast<DibSection*>(object);
  delete[] dib->bits;
  delete dib;
  return 1;
}
