#include "picture_files.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "output_file.h"
#include "provider/bottom_up_dib.h"

namespace vfkthumb {
namespace {

// libpng reports an error by calling OnPngError, which must not return and
// unwinds by longjmp through libpng's C frames: so nothing there may throw,
// and WritePng holds no object with a destructor from setjmp on. The
// message goes into a fixed buffer.
struct PngError {
  char message[128];
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto* error = static_cast<PngError*>(png_get_error_ptr(png));
  std::snprintf(error->message, sizeof error->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// 8-bit RGBA rows, top first. The fastest zlib level, Huffman coding only,
// without filtering: a thumbnail is small, and matching strings in a
// resampled picture gains little (a 256 × 256 photograph: 8 % larger than
// with level 1, and `vfkthumb` ran about a quarter faster here).
bool WritePng(std::FILE* file, const oxan::CImage32& square, StoredSize stored,
              std::string& error) {
  char width[12] = {}, height[12] = {};
  std::to_chars(width, width + sizeof width - 1, stored.width);
  std::to_chars(height, height + sizeof height - 1, stored.height);
  PngError pngError{};
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &pngError, OnPngError, OnPngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    error = pngError.message;
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 1);
  png_set_compression_strategy(png, Z_HUFFMAN_ONLY);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, static_cast<png_uint_32>(square.Width()),
               static_cast<png_uint_32>(square.Height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_text text[2] = {};
  text[0].compression = text[1].compression = PNG_TEXT_COMPRESSION_NONE;
  text[0].key = const_cast<char*>("Thumb::Image::Width");
  text[0].text = width;
  text[1].key = const_cast<char*>("Thumb::Image::Height");
  text[1].text = height;
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
  const std::unique_ptr<OutputFile> output = OutputFile::Open(path, error);
  if (!output) return false;
  errno = 0;
  const bool written = format == PictureFormat::kPng
                           ? WritePng(output->Stream(), square, stored, error)
                           : WriteBmp(output->Stream(), square, side);
  if (!written) {
    if (error.empty()) error = errno != 0 ? std::generic_category().message(errno) : "write failed";
    return false;
  }
  return output->Commit(error);
}

}  // namespace vfkthumb
