// Writes the example documents into the folder named on the command line:
// pictures of different sizes and shapes, opaque and with transparency, in
// native documents (stored and zlib-compressed) and TNW documents (raw and
// Zstandard blobs). The README's main command thumbnails them, and
// the benchmarks use the large ones.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "file_bytes.h"
#include "vfk_writer.h"
#include "vfq_writer.h"

namespace {

using Paint = std::function<std::uint32_t(double x, double y)>;  // x, y in 0 … 1

std::uint32_t Argb(double a, double r, double g, double b) {
  const auto byte = [](double v) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  return byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
}

std::vector<std::uint32_t> Render(std::int32_t width, std::int32_t height, const Paint& paint) {
  std::vector<std::uint32_t> pixels;
  pixels.reserve(static_cast<std::size_t>(std::int64_t{width} * height));
  for (std::int32_t y = 0; y < height; ++y)
    for (std::int32_t x = 0; x < width; ++x)
      pixels.push_back(paint((x + 0.5) / width, (y + 0.5) / height));
  return pixels;
}

// Sky, a sun and hills: opaque.
std::uint32_t Landscape(double x, double y) {
  const double sun = std::hypot(x - 0.7, y - 0.35);
  if (sun < 0.12) return Argb(1, 1, 0.85, 0.3);
  const double hill = 0.65 + 0.08 * std::sin(x * 9.0);
  if (y > hill) return Argb(1, 0.2, 0.45 + 0.2 * (1 - y), 0.15);
  return Argb(1, 0.35 + 0.5 * y, 0.55 + 0.3 * y, 0.95);
}

// A round badge on transparency with a soft edge.
std::uint32_t Icon(double x, double y) {
  const double d = std::hypot(x - 0.5, y - 0.5);
  const double alpha = std::clamp((0.45 - d) * 40.0, 0.0, 1.0);
  if (alpha == 0) return 0;
  return Argb(alpha, 0.9, 0.2 + 0.6 * y, 0.3);
}

// A tall picture under a half-transparent band.
std::uint32_t Portrait(double x, double y) {
  const bool band = y > 0.4 && y < 0.6;
  return Argb(band ? 0.5 : 1, 0.3 + 0.6 * x, 0.3, 0.8 - 0.5 * y);
}

// Smooth colour fields with fine detail, so it compresses like a photograph.
std::uint32_t Large(double x, double y) {
  const double detail = 0.04 * std::sin(x * 700) * std::cos(y * 530);
  return Argb(1, 0.5 + 0.4 * std::sin(x * 6 + y * 2) + detail, 0.5 + 0.4 * std::cos(y * 5) - detail,
              0.5 + 0.3 * std::sin((x + y) * 4));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_examples DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  using Pixels = std::vector<std::uint32_t>;
  using Document = vfktest::Bytes (*)(std::int32_t width, std::int32_t height, const Pixels&);
  // The thumbnail picture in each kind of document.
  const Document zlibVfk = [](std::int32_t w, std::int32_t h, const Pixels& pixels) {
    return vfktest::WriteVfk(vfktest::ThumbnailDocument(w, h, pixels, vfktest::kZlib));
  };
  const Document storedVfk = [](std::int32_t w, std::int32_t h, const Pixels& pixels) {
    return vfktest::WriteVfk(vfktest::ThumbnailDocument(w, h, pixels, vfktest::kStored));
  };
  const Document zstdVfq = [](std::int32_t w, std::int32_t h, const Pixels& pixels) {
    return vfqtest::ThumbnailDocument(w, h, pixels, vfqtest::kZstdBlob).Build();
  };
  const Document rawVfq = [](std::int32_t w, std::int32_t h, const Pixels& pixels) {
    return vfqtest::ThumbnailDocument(w, h, pixels, vfqtest::kRawBlob).Build();
  };
  struct Example {
    const char* name;
    std::int32_t width, height;
    Paint paint;
    Document document;
  };
  const Example examples[] = {
      {"landscape.vfk", 320, 200, Landscape, zlibVfk}, {"icon.vfk", 64, 64, Icon, storedVfk},
      {"portrait.vfk", 150, 240, Portrait, zlibVfk},   {"large.vfk", 1024, 1024, Large, zlibVfk},
      {"landscape.vfq", 320, 200, Landscape, zstdVfq}, {"icon.vfq", 64, 64, Icon, rawVfq},
      {"large.vfq", 1024, 1024, Large, zstdVfq},
  };
  for (const Example& e : examples) {
    const std::filesystem::path path = dir / e.name;
    if (!vfktest::WriteFileBytes(
            path, e.document(e.width, e.height, Render(e.width, e.height, e.paint)))) {
      std::fprintf(stderr, "make_examples: cannot write %s\n", path.string().c_str());
      return 1;
    }
  }
  return 0;
}
