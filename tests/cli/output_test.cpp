// Where the command's picture goes: into an empty file a thumbnail service
// made and reads back through its own handle, over an earlier output only
// once whole (keeping its permissions, through symbolic links), under names
// as long as the file system takes, and nothing left behind when the
// process is stopped by a signal part way.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command_fixture.h"

#ifdef _WIN32
#include <share.h>

#include <cstdio>
#endif

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <thread>
#endif

namespace {

using vfktest::Bytes;
using vfktest::RedBlueDocument;
namespace fs = std::filesystem;

class OutputFile : public vfktest::VfkthumbCommand {
 protected:
  Bytes Read(const fs::path& path) const {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  // The folder's names, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The PNG the command writes for doc.vfk at 8 where nothing was before.
  Bytes FreshPicture() {
    const std::string input = WriteFile("doc.vfk", RedBlueDocument());
    EXPECT_EQ(Vfkthumb({"--size", "8", input, Path("fresh.png")}).status, vfkthumb::kExitWritten);
    const Bytes picture = Read(FilePath("fresh.png"));
    fs::remove(FilePath("fresh.png"));
    return picture;
  }
};

// A thumbnail service made the output and holds it open: the picture must
// be in that very file. A document without a thumbnail leaves it empty.
TEST_F(OutputFile, WritesAnEmptyOutputInPlaceForTheHandleAServiceHolds) {
  const Bytes fresh = FreshPicture();
  ASSERT_FALSE(fresh.empty());
  Bytes damaged = RedBlueDocument();
  damaged[0] = 'X';
  const std::string damagedInput = WriteFile("damaged.vfk", damaged);
  WriteFile("service.png", {});
  std::ifstream held(FilePath("service.png"), std::ios::binary);
  EXPECT_EQ(Vfkthumb({"--size", "8", damagedInput, Path("service.png")}).status,
            vfkthumb::kExitNoThumbnail);
  EXPECT_EQ(fs::file_size(FilePath("service.png")), 0u);
  EXPECT_EQ(Vfkthumb({"--size", "8", Path("doc.vfk"), Path("service.png")}).status,
            vfkthumb::kExitWritten);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(held), std::istreambuf_iterator<char>()), fresh);
  EXPECT_EQ(Names(), (std::vector<std::string>{"damaged.vfk", "doc.vfk", "service.png"}));
}

// The temporary name fits wherever the output's does: a name of 255 bytes
// (the longest most file systems take) is written, and nothing else is
// left, both new and replacing.
TEST_F(OutputFile, TakesTheLongestNameTheFileSystemTakes) {
  const Bytes fresh = FreshPicture();
  const std::string name = std::string(251, 'n') + ".png";
  for (const char* what : {"new", "replacing"}) {
    SCOPED_TRACE(what);
    const auto run = Vfkthumb({"--size", "8", Path("doc.vfk"), Path(name)});
    EXPECT_EQ(run.status, vfkthumb::kExitWritten) << run.err;
    EXPECT_EQ(Read(FilePath(name)), fresh);
    EXPECT_EQ(Names(), (std::vector<std::string>{"doc.vfk", name}));
  }
}

#ifdef _WIN32
// An output another program holds without sharing cannot be replaced: the
// system's own reason is given, the earlier file stays and nothing else is
// left.
TEST_F(OutputFile, ReportsTheSystemsReasonForAFailedReplace) {
  FreshPicture();
  const Bytes earlier(100, 'x');
  WriteFile("held.png", earlier);
  std::FILE* held = _wfsopen(FilePath("held.png").c_str(), L"rb", _SH_DENYRW);
  ASSERT_NE(held, nullptr);
  const auto run = Vfkthumb({"--size", "8", Path("doc.vfk"), Path("held.png")});
  std::fclose(held);
  EXPECT_EQ(run.status, vfkthumb::kExitError);
  EXPECT_NE(run.err.find("held.png: cannot write: "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("Input/output error"), std::string::npos) << run.err;
  EXPECT_EQ(Read(FilePath("held.png")), earlier);
  EXPECT_EQ(Names(), (std::vector<std::string>{"doc.vfk", "held.png"}));
}
#else
// Replacing keeps the earlier file's permissions and writes through a
// symbolic link to the file it names (a dangling one gets that file); other
// hard links to the replaced file keep the earlier bytes.
TEST_F(OutputFile, ReplacesKeepingPermissionsAndSymbolicLinks) {
  const Bytes fresh = FreshPicture();
  const Bytes earlier(100, 'x');
  WriteFile("private.png", earlier);
  fs::permissions(FilePath("private.png"), fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directory(FilePath("real"));
  WriteFile("real/target.png", earlier);
  fs::create_symlink("real/target.png", FilePath("link.png"));
  fs::create_symlink("real/new.png", FilePath("dangling.png"));
  WriteFile("linked.png", earlier);
  fs::create_hard_link(FilePath("linked.png"), FilePath("other-name.png"));
  for (const char* output : {"private.png", "link.png", "dangling.png", "linked.png"}) {
    SCOPED_TRACE(output);
    EXPECT_EQ(Vfkthumb({"--size", "8", Path("doc.vfk"), Path(output)}).status,
              vfkthumb::kExitWritten);
  }
  EXPECT_EQ(Read(FilePath("private.png")), fresh);
  EXPECT_EQ(fs::status(FilePath("private.png")).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(fs::is_symlink(FilePath("link.png")));
  EXPECT_EQ(Read(FilePath("real/target.png")), fresh);
  EXPECT_TRUE(fs::is_symlink(FilePath("dangling.png")));
  EXPECT_EQ(Read(FilePath("real/new.png")), fresh);
  EXPECT_EQ(Read(FilePath("linked.png")), fresh);
  EXPECT_EQ(Read(FilePath("other-name.png")), earlier);
  EXPECT_EQ(Names(), (std::vector<std::string>{"dangling.png", "doc.vfk", "link.png",
                                               "linked.png", "other-name.png", "private.png",
                                               "real"}));
}

// SIGINT, SIGTERM or SIGHUP while a large picture (a 1024 × 1024 picture in
// an 8192 × 8192 preview box, about 2 s here) is made and written: the
// process ends with the signal, and the folder holds what it held before,
// or the whole new output if the run ended first.
TEST_F(OutputFile, LeavesNothingBehindWhenStoppedBySignal) {
  const std::vector<std::uint32_t> pixels(1024 * 1024, 0x80402010);
  const std::string input =
      WriteFile("large.vfk", WriteVfk(vfktest::ThumbnailDocument(1024, 1024, pixels, vfktest::kZlib)));
  const Bytes earlier(100, 'x');
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (const bool replacing : {false, true}) {
      for (const int milliseconds : {100, 400, 900}) {
        SCOPED_TRACE(std::string(strsignal(signal)) + (replacing ? ", replacing" : ", new") +
                     " after " + std::to_string(milliseconds) + " ms");
        if (replacing) WriteFile("out.png", earlier);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
          execl(VFK_VFKTHUMB_PROGRAM, "vfkthumb", "--box", "8192x8192", input.c_str(),
                Path("out.png").c_str(), static_cast<char*>(nullptr));
          _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        const bool finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        EXPECT_TRUE(finished || (WIFSIGNALED(status) && WTERMSIG(status) == signal)) << status;
        std::vector<std::string> expected = {"large.vfk"};
        if (replacing || finished) expected.push_back("out.png");
        EXPECT_EQ(Names(), expected);
        if (replacing && !finished) {
          EXPECT_EQ(Read(FilePath("out.png")), earlier);
        }
        fs::remove(FilePath("out.png"));
      }
    }
  }
}
#endif

}  // namespace
