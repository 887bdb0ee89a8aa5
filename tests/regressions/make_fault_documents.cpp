// Writes the documents of the faults that hand-made documents found, into
// OUTDIR, named <fault>.<expected>.<extension>: "thumbnail" documents must
// give their picture, "none" documents no thumbnail, and none may crash,
// hang or take memory the file cannot back. Documents that fuzzing finds
// are kept, minimised, beside this file in found/documents and replayed the
// same way; XML texts in found/xml.
//   make_fault_documents OUTDIR
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "file_bytes.h"
#include "vfk_writer.h"
#include "vfq_writer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::uint32_t> Picture(std::int32_t width, std::int32_t height) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) *
                                    static_cast<std::size_t>(height));
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) | 0xFF000000u;
  return pixels;
}

// An 89 × 46 picture at zlib level 0 whose stream ends just past a 16 KiB
// input piece, with unpackedLength equal to the pixel bytes.
Bytes StreamEndInANewPiece() {
  const std::vector<std::uint32_t> pixels = Picture(89, 46);
  vfktest::VfkDocument document = vfktest::ThumbnailDocument(89, 46, pixels, vfktest::kZlib);
  document.entries.back().packed = vfktest::Deflate(vfktest::PixelBytes(pixels), 0);
  return vfktest::WriteVfk(document);
}

// 600 KB of nested elements inside the root.
Bytes DeeplyNestedXml() {
  vfktest::VfkDocument document = vfktest::ThumbnailDocument(2, 2, Picture(2, 2), vfktest::kStored);
  std::string xml = "<Lorapp><Thumb width=\"2\" height=\"2\" bin=\"thumb\"/>";
  for (int i = 0; i < 200000; ++i) xml += "<a>";
  document.xml = xml + "</Lorapp>";
  return vfktest::WriteVfk(document);
}

// A 256 KiB file whose root stream claims 2^31 − 1 bytes, its page list
// naming one page over and over.
Bytes RootLongerThanTheFile() {
  vfqtest::VfqWriter writer;
  const std::int64_t data = writer.NewVidx();
  writer.SetEntry(data, writer.AddPage());
  writer.AddPagedStream(std::vector<std::int64_t>(8189, data), 0x7FFFFFFF, vfqtest::kRootVidx);
  return writer.Build();
}

// A thumbnail of 16384 × 8191 pixels (512 MiB) whose blob holds ten bytes.
Bytes PictureLargerThanItsBlob() {
  vfqtest::VfqWriter writer;
  const std::int64_t blob = writer.AddStream(vfqtest::RawBlob(Bytes(10, 1)), writer.NewVidx());
  writer.AddStream(vfqtest::DocumentRoot(vfqtest::Thumbnail{16384, 8191, blob}),
                   vfqtest::kRootVidx);
  return writer.Build();
}

// A 4 × 4 document whose root names a blob vidx without a page: the reader
// throws, and the loader asks for its information box, which the preview
// pane once showed and waited on.
Bytes BlobWithoutAPage() {
  vfqtest::VfqWriter writer = vfqtest::ThumbnailDocument(4, 4, Picture(4, 4), vfqtest::kRawBlob);
  writer.AddStream(vfqtest::DocumentRoot(vfqtest::Thumbnail{4, 4, 77}), vfqtest::kRootVidx);
  return writer.Build();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_fault_documents OUTDIR\n";
    return 2;
  }
  const fs::path out = argv[1];
  fs::create_directories(out);
  const std::pair<const char*, Bytes> documents[] = {
      {"inflate-piece-end.thumbnail.vfk", StreamEndInANewPiece()},
      {"deep-xml.none.vfk", DeeplyNestedXml()},
      {"root-beyond-file.none.vfq", RootLongerThanTheFile()},
      {"picture-beyond-blob.none.vfq", PictureLargerThanItsBlob()},
      {"blob-without-page.none.vfq", BlobWithoutAPage()},
  };
  for (const auto& [name, bytes] : documents) {
    if (!vfktest::WriteFileBytes(out / name, bytes)) {
      std::cerr << "make_fault_documents: cannot write " << (out / name).string() << '\n';
      return 1;
    }
  }
  return 0;
}
