#include "provider/bottom_up_dib.h"

#include <algorithm>
#include <bit>
#include <cstring>

BITMAPINFOHEADER BottomUpDibHeader(std::int32_t cx) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = cx;
  header.biHeight = cx;  // positive: bottom-up
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  return header;
}

void CopyBottomUp(const oxan::CImage32& square, std::int32_t cx, std::uint8_t* bits) {
  const auto rowBytes = static_cast<std::size_t>(cx) * sizeof(std::uint32_t);
  const std::int32_t copied = std::min(cx, square.Width());
  for (std::int32_t k = 0; k < cx; ++k) {
    std::uint8_t* out = bits + static_cast<std::size_t>(k) * rowBytes;
    const std::uint32_t* row = square.RowPointer(cx - 1 - k);
    if (!row) {
      std::memset(out, 0, rowBytes);
      continue;
    }
    // Words are stored little-endian, so their bytes are B, G, R, A already.
    static_assert(std::endian::native == std::endian::little);
    std::memcpy(out, row, static_cast<std::size_t>(copied) * sizeof(std::uint32_t));
    std::memset(out + static_cast<std::size_t>(copied) * sizeof(std::uint32_t), 0,
                static_cast<std::size_t>(cx - copied) * sizeof(std::uint32_t));
  }
}

UniqueHBitmap MakeBottomUpDib(const oxan::CImage32& square, std::int32_t cx) {
  BITMAPINFO info{};
  info.bmiHeader = BottomUpDibHeader(cx);
  void* bits = nullptr;
  UniqueHBitmap dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || !bits) return {};
  CopyBottomUp(square, cx, static_cast<std::uint8_t*>(bits));
  return dib;
}
