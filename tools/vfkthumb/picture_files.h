// Writing a thumbnail square to a file: an 8-bit RGBA PNG (straight alpha,
// top row first, with the stored picture's size in the text chunks
// "Thumb::Image::Width" and "Thumb::Image::Height" that freedesktop
// thumbnails carry) or a BMP holding exactly the shell's bitmap (the 40-byte
// BITMAPINFOHEADER and the bottom-up B, G, R, A rows after the 14-byte file
// header). Where the bytes go, and what an earlier output becomes, is
// OutputFile's (output_file.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "image/image32.h"
#include "provider/compose_thumbnail.h"

namespace vfkthumb {

enum class PictureFormat { kPng, kBmp };

// By the name's extension, in any letter case; nullopt for any other.
std::optional<PictureFormat> PictureFormatOf(const std::filesystem::path& path);

// False with a message when the file cannot be written.
bool WritePicture(const std::filesystem::path& path, PictureFormat format,
                  const oxan::CImage32& square, std::int32_t side, StoredSize stored,
                  std::string& error);

}  // namespace vfkthumb
