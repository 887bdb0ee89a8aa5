#include "picture_files.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "provider/bottom_up_dib.h"

namespace vfkthumb {
namespace {

struct FileClose {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

FilePtr OpenForWriting(const std::filesystem::path& path) {
#ifdef _WIN32
  return FilePtr(_wfopen(path.c_str(), L"wb"));
#else
  return FilePtr(std::fopen(path.c_str(), "wb"));
#endif
}

// libpng errors unwind by longjmp: the message is kept for the caller, and
// WritePng holds nothing that needs a destructor.
[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  static_cast<std::string*>(png_get_error_ptr(png))->assign(message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// 8-bit RGBA rows, top first. The fastest zlib level, Huffman coding only,
// without filtering: a thumbnail is small, and matching strings in a
// resampled picture gains little (a 256 × 256 photograph: 8 % larger than
// with level 1, and `vfkthumb` ran about a quarter faster here).
bool WritePng(std::FILE* file, const oxan::CImage32& square, StoredSize stored,
              std::string& error) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 1);
  png_set_compression_strategy(png, Z_HUFFMAN_ONLY);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, static_cast<png_uint_32>(square.Width()),
               static_cast<png_uint_32>(square.Height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::string width = std::to_string(stored.width), height = std::to_string(stored.height);
  png_text text[2] = {};
  text[0].compression = text[1].compression = PNG_TEXT_COMPRESSION_NONE;
  text[0].key = const_cast<char*>("Thumb::Image::Width");
  text[0].text = width.data();
  text[1].key = const_cast<char*>("Thumb::Image::Height");
  text[1].text = height.data();
  png_set_text(png, info, text, 2);
  png_write_info(png, info);
  png_set_bgr(png);  // the words' bytes in memory are B, G, R, A
  for (std::int32_t y = 0; y < square.Height(); ++y)
    png_write_row(png, reinterpret_cast<png_const_bytep>(square.RowPointer(y)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool WriteBmp(std::FILE* file, const oxan::CImage32& square, std::int32_t side) {
  const BITMAPINFOHEADER header = BottomUpDibHeader(side);
  static_assert(sizeof header == 40);
  constexpr std::uint32_t kFileHeaderSize = 14;
  const std::size_t rowsSize = std::size_t(std::uint32_t(side)) * std::uint32_t(side) * 4;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(kFileHeaderSize + sizeof header + rowsSize);
  bytes.push_back('B');
  bytes.push_back('M');
  PutLe(bytes, static_cast<std::uint32_t>(kFileHeaderSize + sizeof header + rowsSize), 4);
  PutLe(bytes, 0, 4);  // reserved
  PutLe(bytes, kFileHeaderSize + sizeof header, 4);
  const auto* headerBytes = reinterpret_cast<const std::uint8_t*>(&header);
  bytes.insert(bytes.end(), headerBytes, headerBytes + sizeof header);
  bytes.resize(bytes.size() + rowsSize);
  CopyBottomUp(square, side, bytes.data() + kFileHeaderSize + sizeof header);
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

}  // namespace

std::optional<PictureFormat> PictureFormatOf(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".png") return PictureFormat::kPng;
  if (extension == ".bmp") return PictureFormat::kBmp;
  return std::nullopt;
}

bool WritePicture(const std::filesystem::path& path, PictureFormat format,
                  const oxan::CImage32& square, std::int32_t side, StoredSize stored,
                  std::string& error) {
  FilePtr file = OpenForWriting(path);
  if (!file) {
    error = std::generic_category().message(errno);
    return false;
  }
  bool written = format == PictureFormat::kPng ? WritePng(file.get(), square, stored, error)
                                               : WriteBmp(file.get(), square, side);
  if (std::fclose(file.release()) != 0) written = false;
  if (!written) {
    if (error.empty()) error = std::generic_category().message(errno);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  return written;
}

}  // namespace vfkthumb
