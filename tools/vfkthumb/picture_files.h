// Writing a thumbnail square to a file: an 8-bit RGBA PNG (straight alpha,
// top row first) or a BMP holding exactly the shell's bitmap (the 40-byte
// BITMAPINFOHEADER and the bottom-up B, G, R, A rows after the 14-byte file
// header). A file that cannot be written whole is removed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "image/image32.h"

namespace vfkthumb {

enum class PictureFormat { kPng, kBmp };

// By the name's extension, in any letter case; nullopt for any other.
std::optional<PictureFormat> PictureFormatOf(const std::filesystem::path& path);

// False with a message when the file cannot be written.
bool WritePicture(const std::filesystem::path& path, PictureFormat format,
                  const oxan::CImage32& square, std::int32_t side, std::string& error);

}  // namespace vfkthumb
