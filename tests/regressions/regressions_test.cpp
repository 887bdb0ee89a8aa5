// Replays every input that ever broke a reader: the fault documents the
// build writes and the documents fuzzing found (tests/regressions/found/
// documents) go through the whole pipeline on a thread with a 256 KiB stack
// and must give what their names say: "thumbnail" a picture, "none" no
// thumbnail (a name without either: anything but a crash). XML texts that
// fuzzing found (found/xml) must get shape bounds no lower than the tree
// TinyXML builds.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "formats/native/vfk_thumbnail.h"
#include "formats/native/xml_shape.h"
#include "formats/tnw/tnw_thumbnail.h"
#include "image/image32.h"
#include "platform/memory_stream.h"
#include "platform/stack_thread.h"
#include "provider/compose_thumbnail.h"
#include "tinyxml_shape.h"

namespace {

namespace fs = std::filesystem;

// The regular files in a folder that must exist and hold some: a folder
// that went missing must not make a replay pass on nothing.
std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (fs::is_directory(folder)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
      if (entry.is_regular_file()) files.push_back(entry.path());
  }
  EXPECT_FALSE(files.empty()) << "no files in " << folder;
  return files;
}

// The fault documents the build writes, and the documents fuzzing found
// (their folder appears with the first one).
std::vector<fs::path> RegressionDocuments() {
  std::vector<fs::path> documents = FilesIn(VFK_FAULT_DOCUMENTS);
  const fs::path found = fs::path(VFK_FOUND) / "documents";
  if (fs::exists(found)) {
    const std::vector<fs::path> more = FilesIn(found);
    documents.insert(documents.end(), more.begin(), more.end());
  }
  return documents;
}

std::vector<std::uint8_t> Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(Regressions, EveryDocumentGivesWhatItsNameSays) {
  const std::vector<fs::path> documents = RegressionDocuments();
  ASSERT_FALSE(documents.empty());
  for (const fs::path& path : documents) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<std::uint8_t> bytes = Contents(path);
    const bool tnw = bytes.size() >= 4 && std::memcmp(bytes.data(), "tnw", 4) == 0;
    bool loaded = false;
    platform::RunWithStack(256 * 1024, [&] {
      ComRef<IStream> stream = MakeMemoryStream(bytes);
      oxan::CImage32 square;
      loaded =
          ComposeThumbnail(tnw ? ReadTnwThumbnail : ReadVfkThumbnail, stream.Get(), 96, square);
    });
    const std::string name = path.filename().string();
    if (name.find(".thumbnail.") != std::string::npos) {
      EXPECT_TRUE(loaded);
    } else if (name.find(".none.") != std::string::npos) {
      EXPECT_FALSE(loaded);
    }
  }
}

TEST(Regressions, XmlTextsGetBoundsNoLowerThanTheParsersTree) {
  constexpr native::XmlShape kUnreached{100000, 10000000, 10000000};
  for (const fs::path& path : FilesIn(fs::path(VFK_FOUND) / "xml")) {
    SCOPED_TRACE(path.filename().string());
    const std::vector<std::uint8_t> bytes = Contents(path);
    std::string text(bytes.begin(), bytes.end());
    text.append(8, '\0');
    const native::XmlShape bound =
        native::XmlShapeBound(std::string_view(text.data(), bytes.size()), kUnreached);
    const native::XmlShape parsed = xmltest::TinyXmlShape(text.c_str());
    EXPECT_GE(bound.nesting, parsed.nesting);
    EXPECT_GE(bound.attributes, parsed.attributes);
    EXPECT_GE(bound.nodes, parsed.nodes);
  }
}

}  // namespace
