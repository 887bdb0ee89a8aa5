// What the tests of the command share: a fixture that runs it in-process in
// a folder of its own, a small document, and the pixels of a PNG it wrote.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "vfk_writer.h"

namespace vfktest {

namespace fs = std::filesystem;

inline constexpr std::uint32_t kRed = 0xFFFF0000;
inline constexpr std::uint32_t kBlue = 0x800000FF;

// A 2 × 1 document: opaque red, half-transparent blue.
inline Bytes RedBlueDocument() {
  return WriteVfk(vfktest::ThumbnailDocument(2, 1, {kRed, kBlue}, vfktest::kZlib));
}

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

class VfkthumbCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vfkthumb_test_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Names and paths as UTF-8 text, as the command takes them.
  std::string Path(const std::string& name) const {
    const std::u8string text = FilePath(name).u8string();
    return std::string(text.begin(), text.end());
  }
  fs::path FilePath(const std::string& name) const {
    return dir_ / fs::path(std::u8string(name.begin(), name.end()));
  }

  std::string WriteFile(const std::string& name, const Bytes& bytes) const {
    std::ofstream(FilePath(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }

  static Outcome Vfkthumb(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = vfkthumb::RunVfkthumb(args, out, err, false);
    return {status, out.str(), err.str()};
  }

  fs::path dir_;
};

// The pixels of a PNG file as words A << 24 | R << 16 | G << 8 | B.
inline std::vector<std::uint32_t> ReadPng(const std::string& path, std::uint32_t& width,
                                   std::uint32_t& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, PNG_FORMAT_FLAG_ALPHA);
  image.format = PNG_FORMAT_BGRA;
  std::vector<std::uint32_t> pixels(std::size_t{image.width} * image.height);
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  width = image.width;
  height = image.height;
  return pixels;
}

}  // namespace vfktest
