// Replays every document that ever broke a loader: the fault documents the
// build writes and the fuzzing finds kept in tests/regressions/found. Each
// goes through the whole pipeline on a thread with a 256 KiB stack and must
// give what its name says: "thumbnail" a picture, "none" no thumbnail (a
// name without either: anything but a crash).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/native/vfk_thumbnail.h"
#include "formats/tnw/tnw_thumbnail.h"
#include "image/image32.h"
#include "platform/memory_stream.h"
#include "platform/stack_thread.h"
#include "provider/compose_thumbnail.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Documents() {
  std::vector<fs::path> documents;
  for (const char* folder : {VFK_FAULT_DOCUMENTS, VFK_FOUND_DOCUMENTS}) {
    if (!fs::is_directory(folder)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
      if (entry.is_regular_file()) documents.push_back(entry.path());
  }
  return documents;
}

TEST(Regressions, EveryDocumentGivesWhatItsNameSays) {
  const std::vector<fs::path> documents = Documents();
  ASSERT_FALSE(documents.empty());
  for (const fs::path& path : documents) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    const bool tnw = bytes.size() >= 4 && std::memcmp(bytes.data(), "tnw", 4) == 0;
    bool loaded = false;
    platform::RunWithStack(256 * 1024, [&] {
      ComRef<IStream> stream = MakeMemoryStream(bytes);
      oxan::CImage32 square;
      loaded =
          ComposeThumbnail(tnw ? LoadTnwThumbnail : LoadVfkThumbnail, stream.Get(), 96, square);
    });
    const std::string name = path.filename().string();
    if (name.find(".thumbnail.") != std::string::npos) {
      EXPECT_TRUE(loaded);
    } else if (name.find(".none.") != std::string::npos) {
      EXPECT_FALSE(loaded);
    }
  }
}

}  // namespace
