// Writes the seed inputs of every fuzz target into OUTDIR/<target>/: sound
// documents of both formats in their main shapes, each kind of damage the
// loaders' tests use, XML texts with every construct the XML shape scan
// follows, document roots, and byte patterns for the targets whose input is
// a recipe.
//   make_fuzz_seeds OUTDIR
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "loaded_pictures.h"
#include "vfk_writer.h"
#include "vfq_writer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using looktest::Picture;

void Write(const fs::path& folder, const std::string& name, const Bytes& bytes) {
  fs::create_directories(folder);
  if (!vfktest::WriteFileBytes(folder / name, bytes))
    throw std::runtime_error("cannot write " + (folder / name).string());
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

const std::string kXmlTexts[] = {
    "<Lorapp><Thumb width=\"4\" height=\"3\" bin=\"thumb\"/></Lorapp>",
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Lorapp>\n <Layers><Layer name=\"a &amp; "
    "b\" id='2'>&#x41;&#66;</Layer></Layers>\n <Thumb width=\"4\" height=\"3\" bin=\"thumb\"/>\n"
    "</Lorapp>",
    "\xEF\xBB\xBF<Lorapp><!-- <a> --><![CDATA[</Lorapp>]]><!DOCTYPE x><?pi?><Thumb "
    "width=\"4\" height=\"3\" bin=\"thumb\"/></Lorapp>",
    "<a t=\"/>\"><a t='</a>'><a><!--</a>--><a>&#</a>;<a>\xC3</a></a></a></a></a>",
};

void NativeSeeds(const fs::path& folder) {
  using vfktest::ThumbnailDocument;
  Write(folder, "stored.vfk", WriteVfk(ThumbnailDocument(4, 3, Picture(4, 3), vfktest::kStored)));
  Write(folder, "zlib.vfk", WriteVfk(ThumbnailDocument(16, 9, Picture(16, 9), vfktest::kZlib)));
  Write(folder, "one.vfk", WriteVfk(ThumbnailDocument(1, 1, Picture(1, 1), vfktest::kZlib)));
  vfktest::VfkDocument xml = ThumbnailDocument(4, 3, Picture(4, 3), vfktest::kZlib);
  for (std::size_t i = 0; i < std::size(kXmlTexts); ++i) {
    xml.xml = kXmlTexts[i];
    Write(folder, "xml" + std::to_string(i) + ".vfk", WriteVfk(xml));
  }
  vfktest::VfkDocument odd = ThumbnailDocument(3, 3, Picture(3, 3), vfktest::kStored);
  vfktest::VfkEntry other;
  other.name = "thumb";
  other.method = 2;
  odd.entries.insert(odd.entries.begin() + 1, other);
  Write(folder, "odd-method.vfk", WriteVfk(odd));
  Bytes cut = WriteVfk(ThumbnailDocument(8, 8, Picture(8, 8), vfktest::kZlib));
  cut.resize(cut.size() - 5);
  Write(folder, "cut.vfk", cut);
}

void TnwSeeds(const fs::path& folder) {
  using vfqtest::ThumbnailDocument;
  Write(folder, "raw.vfq", ThumbnailDocument(4, 3, Picture(4, 3), vfqtest::kRawBlob).Build());
  Write(folder, "zstd.vfq", ThumbnailDocument(16, 9, Picture(16, 9), vfqtest::kZstdBlob).Build());
  // A paged blob, and an entry in a table page.
  vfqtest::VfqWriter paged;
  const std::vector<std::uint32_t> pixels = Picture(200, 100);
  Bytes content;
  for (const std::uint32_t pixel : pixels)
    for (int shift = 0; shift < 32; shift += 8)
      content.push_back(static_cast<std::uint8_t>(pixel >> shift));
  paged.AddPagedStream(vfqtest::RawBlob(content), 5000);
  paged.AddStream(vfqtest::DocumentRoot(vfqtest::Thumbnail{200, 100, 5000}), vfqtest::kRootVidx);
  Write(folder, "paged.vfq", paged.Build());
}

void RootSeeds(const fs::path& folder) {
  Write(folder, "thumbnail", vfqtest::DocumentRoot(vfqtest::Thumbnail{4, 3, 1}));
  Write(folder, "none", vfqtest::DocumentRoot(std::nullopt));
}

void PatternSeeds(const fs::path& folder) {
  for (const std::size_t size : {16u, 64u, 256u, 4096u}) {
    Write(folder, "zeros" + std::to_string(size), Bytes(size, 0));
    Write(folder, "ones" + std::to_string(size), Bytes(size, 0xFF));
    Bytes counting(size);
    std::iota(counting.begin(), counting.end(), std::uint8_t{0});
    Write(folder, "counting" + std::to_string(size), counting);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_fuzz_seeds OUTDIR\n";
    return 2;
  }
  const fs::path out = argv[1];
  NativeSeeds(out / "vfk_fuzz");
  TnwSeeds(out / "vfq_fuzz");
  TnwSeeds(out / "page_store_fuzz");
  PatternSeeds(out / "page_store_fuzz");
  PatternSeeds(out / "vfq_structured_fuzz");
  RootSeeds(out / "tnw_root_fuzz");
  PatternSeeds(out / "resample_fuzz");
  for (std::size_t i = 0; i < std::size(kXmlTexts); ++i)
    Write(out / "xml_shape_fuzz", "text" + std::to_string(i), Text(kXmlTexts[i]));
  return 0;
}
