#include "cli.h"
#include "command_fixture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "emulated_threads.h"
#include "formats/native/vfk_thumbnail.h"
#include "platform/memory_stream.h"
#include "platform/unique_resource.h"
#include "provider/vesk_thumbnail_provider.h"
#include "thumbnail_job.h"
#include "vfk_writer.h"
#include "vfq_writer.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

using vfktest::Bytes;
using vfktest::Outcome;
using vfktest::VfkthumbCommand;
using vfktest::ReadPng;
using vfktest::RedBlueDocument;
using vfktest::kRed;
using vfktest::kBlue;
namespace fs = std::filesystem;

// The text chunks of a PNG file, key to text.
std::map<std::string, std::string> ReadPngText(const std::string& path) {
  std::map<std::string, std::string> chunks;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             std::fclose);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (file.get() && png && info && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file.get());
    png_read_info(png, info);
    png_textp text = nullptr;
    const int count = png_get_text(png, info, &text, nullptr);
    for (int i = 0; i < count; ++i) chunks[text[i].key] = text[i].text;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return chunks;
}

TEST_F(VfkthumbCommand, WritesTheFittedPictureCentredInAPng) {
  const std::string input = WriteFile("doc.vfk", RedBlueDocument());
  const Outcome run = Vfkthumb({"--size", "4", input, Path("out.png")});
  ASSERT_EQ(run.status, vfkthumb::kExitWritten) << run.err;
  EXPECT_EQ(run.err, "");
  std::uint32_t width = 0, height = 0;
  const std::vector<std::uint32_t> pixels = ReadPng(Path("out.png"), width, height);
  ASSERT_EQ(width, 4u);
  ASSERT_EQ(height, 4u);
  // 2 × 1 fits as 4 × 2, rows 1 and 2; straight alpha survives.
  const std::vector<std::uint32_t> expected = {0,    0,    0,     0,     kRed, kRed, kBlue, kBlue,
                                               kRed, kRed, kBlue, kBlue, 0,    0,    0,     0};
  EXPECT_EQ(pixels, expected);
  // The stored picture's size, as freedesktop thumbnails carry it.
  const std::map<std::string, std::string> text = ReadPngText(Path("out.png"));
  EXPECT_EQ(text.at("Thumb::Image::Width"), "2");
  EXPECT_EQ(text.at("Thumb::Image::Height"), "1");
}

// The preview pane's picture: a picture smaller than the box keeps its size,
// centred, laid over the background with its straight alpha.
TEST_F(VfkthumbCommand, WritesThePreviewPanesPicture) {
  const std::string input = WriteFile("doc.vfk", RedBlueDocument());
  const Outcome run = Vfkthumb({"--box", "6x3", "--background", "102030", input, Path("out.png")});
  ASSERT_EQ(run.status, vfkthumb::kExitWritten) << run.err;
  std::uint32_t width = 0, height = 0;
  const std::vector<std::uint32_t> pixels = ReadPng(Path("out.png"), width, height);
  ASSERT_EQ(width, 6u);
  ASSERT_EQ(height, 3u);
  constexpr std::uint32_t bg = 0xFF102030;
  // Blue at alpha 128: each channel (c × 128 + bg × 127 + 127) / 255.
  constexpr std::uint32_t blueOverBg = 0xFF081098;
  const std::vector<std::uint32_t> expected = {bg, bg, bg,   bg,         bg, bg,  //
                                               bg, bg, kRed, blueOverBg, bg, bg,  //
                                               bg, bg, bg,   bg,         bg, bg};
  EXPECT_EQ(pixels, expected);
  EXPECT_EQ(ReadPngText(Path("out.png")).at("Thumb::Image::Width"), "2");

  Bytes damaged = RedBlueDocument();
  damaged.erase(damaged.end() - 5, damaged.end());
  const Outcome none =
      Vfkthumb({"--box", "6x3", WriteFile("damaged.vfk", damaged), Path("none.png")});
  EXPECT_EQ(none.status, vfkthumb::kExitNoThumbnail);
  EXPECT_FALSE(fs::exists(Path("none.png")));
}

TEST_F(VfkthumbCommand, WritesTheShellsBitmapInABmp) {
  const Bytes document = RedBlueDocument();
  const std::string input = WriteFile("doc.vfk", document);
  ASSERT_EQ(Vfkthumb({"--size=5", input, Path("out.BMP")}).status, vfkthumb::kExitWritten);
  std::ifstream file(Path("out.BMP"), std::ios::binary);
  const Bytes bmp((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bmp.size(), 14u + 40u + 5u * 5u * 4u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(bmp[10], 54);  // pixels start after both headers

  // The same document through the provider gives the same header and rows.
  ComRef<IInitializeWithStream> provider;
  ASSERT_EQ(
      CreateVeskThumbnailProvider(ReadVfkThumbnail, IID_IInitializeWithStream, provider.PutVoid()),
      S_OK);
  ComRef<IStream> stream = MakeMemoryStream(document);
  ASSERT_EQ(provider->Initialize(stream.Get(), STGM_READ), S_OK);
  ComRef<IThumbnailProvider> thumbnails;
  ASSERT_EQ(provider->QueryInterface(IID_IThumbnailProvider, thumbnails.PutVoid()), S_OK);
  HBITMAP bitmap = nullptr;
  WTS_ALPHATYPE alpha{};
  ASSERT_EQ(thumbnails->GetThumbnail(5, &bitmap, &alpha), S_OK);
  UniqueHBitmap owned(bitmap);
  DIBSECTION section{};
  ASSERT_NE(GetObjectW(bitmap, sizeof section, &section), 0);
  Bytes expected(40);
  std::memcpy(expected.data(), &section.dsBmih, 40);
  expected[20] = expected[21] = expected[22] = expected[23] = 0;  // biSizeImage is GDI's own
  const auto* bits = static_cast<const std::uint8_t*>(section.dsBm.bmBits);
  expected.insert(expected.end(), bits, bits + 5 * 5 * 4);
  EXPECT_EQ(Bytes(bmp.begin() + 14, bmp.end()), expected);
}

TEST_F(VfkthumbCommand, ToldTheFormatByTheFirstBytes) {
  const std::string disguised = WriteFile("picture.png", RedBlueDocument());
  EXPECT_EQ(Vfkthumb({disguised, Path("a.png")}).status, vfkthumb::kExitWritten);
  EXPECT_TRUE(fs::exists(Path("a.png")));

  const std::string tnw = WriteFile(
      "document.vfk", vfqtest::ThumbnailDocument(2, 1, {kRed, kBlue}, vfqtest::kZstdBlob).Build());
  ASSERT_EQ(Vfkthumb({"--size", "4", tnw, Path("t.png")}).status, vfkthumb::kExitWritten);
  std::uint32_t width = 0, height = 0;
  EXPECT_EQ(ReadPng(Path("t.png"), width, height)[4 * 1 + 3], kBlue);

  const std::string text = WriteFile("notes.vfk", Bytes{'h', 'e', 'l', 'l', 'o'});
  const Outcome run = Vfkthumb({text, Path("b.png")});
  EXPECT_EQ(run.status, vfkthumb::kExitNoThumbnail);
  EXPECT_NE(run.err.find("not a recognised document"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(Path("b.png")));
}

TEST_F(VfkthumbCommand, LeavesNoFileForADamagedDocument) {
  Bytes native = RedBlueDocument();
  native.erase(native.end() - 5, native.end());
  Bytes tnw = vfqtest::ThumbnailDocument(2, 1, {kRed, kBlue}, vfqtest::kRawBlob).Build();
  tnw.resize(3 * vfqtest::kPageSize);  // the blob's and the root's pages are gone
  for (const auto& [name, bytes] : {std::pair{"damaged.vfk", native}, {"damaged.vfq", tnw}}) {
    SCOPED_TRACE(name);
    const std::string input = WriteFile(name, bytes);
    const Outcome run = Vfkthumb({input, Path("out.png")});
    EXPECT_EQ(run.status, vfkthumb::kExitNoThumbnail);
    EXPECT_NE(run.err.find("no thumbnail"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(Path("out.png")));
  }
}

TEST_F(VfkthumbCommand, ReportsUsageAndInputOutputErrors) {
  const std::string input = WriteFile("doc.vfk", RedBlueDocument());
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{}, "expected an INPUT and an OUTPUT"},
      {{input}, "expected an INPUT and an OUTPUT"},
      {{input, Path("a.png"), Path("b.png")}, "too many operands"},
      {{"--size", "0", input, Path("a.png")}, "--size must be"},
      {{"--size", "4097", input, Path("a.png")}, "--size must be"},
      {{"--size", "12px", input, Path("a.png")}, "--size must be"},
      {{input, "--size"}, "--size needs a value"},
      {{"--colour", input, Path("a.png")}, "unknown option --colour"},
      {{input, Path("a.jpg")}, "OUTPUT must end in .png or .bmp"},
      {{"--jobs", "2", input, Path("a.png")}, "--jobs needs --output-dir"},
      {{"--output-dir", Path("out")}, "no input documents"},
      {{Path("missing.vfk"), Path("a.png")}, "cannot open"},
      {{input, Path("no/such/folder/a.png")}, "cannot write"},
      {{"--box", "0x10", input, Path("a.png")}, "--box must be"},
      {{"--box", "10x8193", input, Path("a.png")}, "--box must be"},
      {{"--box", "10", input, Path("a.png")}, "--box must be"},
      {{"--box", "10x10", "--background", "12345", input, Path("a.png")}, "--background must be"},
      {{"--box", "10x10", "--background", "12345g", input, Path("a.png")}, "--background must be"},
      {{"--background", "123456", input, Path("a.png")}, "--background needs --box"},
      {{"--box", "10x10", "--size", "8", input, Path("a.png")}, "exclude each other"},
      {{"--box", "10x10", "-o", Path("out"), input}, "--box takes one INPUT and OUTPUT"},
      {{"--box", "10x10", input, Path("a.bmp")}, "with --box, OUTPUT must end in .png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const Outcome run = Vfkthumb(c.args);
    EXPECT_EQ(run.status, vfkthumb::kExitError);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_FALSE(fs::exists(Path("a.png")));
}

// Run twice to the same output: the second picture replaces the first, and
// nothing else is left in the folder.
TEST_F(VfkthumbCommand, ReplacesAnEarlierOutput) {
  const std::string input = WriteFile("doc.vfk", RedBlueDocument());
  WriteFile("out.png", Bytes(1000, 'x'));
  for (const char* size : {"4", "6"}) {
    SCOPED_TRACE(size);
    ASSERT_EQ(Vfkthumb({"--size", size, input, Path("out.png")}).status, vfkthumb::kExitWritten);
    std::uint32_t width = 0, height = 0;
    ReadPng(Path("out.png"), width, height);
    EXPECT_EQ(std::to_string(width), size);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
  }
}

#ifndef _WIN32
// An output that exists stays as it was unless a new one is written whole:
// the picture goes to a file beside it first. A write that fails part way
// (the process's file size limit; libpng's error path for a PNG) and a
// document without a thumbnail leave the earlier bytes and no other file.
TEST_F(VfkthumbCommand, LeavesAnEarlierOutputAsItWasUnlessWrittenWhole) {
  const std::string good = WriteFile("doc.vfk", RedBlueDocument());
  Bytes damagedBytes = RedBlueDocument();
  damagedBytes[0] = 'X';
  const std::string damaged = WriteFile("damaged.vfk", damagedBytes);
  const Bytes earlier(1000, 'x');
  struct Case {
    const char* what;
    std::string input;
    std::string output;
    int status;
  };
  const Case cases[] = {
      {"a PNG write that fails", good, "out.png", vfkthumb::kExitError},
      {"a BMP write that fails", good, "out.bmp", vfkthumb::kExitError},
      {"a document without a thumbnail", damaged, "out.png", vfkthumb::kExitNoThumbnail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string output = WriteFile(c.output, earlier);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const rlimit limit{200, RLIM_INFINITY};  // bytes a file may grow to
      std::signal(SIGXFSZ, SIG_IGN);           // a longer write fails instead
      setrlimit(RLIMIT_FSIZE, &limit);
      _exit(Vfkthumb({"--size", "256", c.input, output}).status);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status);
    std::ifstream file(output, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()),
              earlier);
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"damaged.vfk", "doc.vfk", c.output}));
    fs::remove(output);
  }
}
#endif

TEST_F(VfkthumbCommand, AnswersHelpAndVersion) {
  const Outcome help = Vfkthumb({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: vfkthumb", 0), 0u);
  const Outcome version = Vfkthumb({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("vfkthumb ", 0), 0u);
}

TEST_F(VfkthumbCommand, ThumbnailsABatchOnSeveralThreads) {
  vfktest::SkipWithoutThreads();
  std::vector<std::string> args = {"--jobs", "3", "--output-dir", Path("thumbs")};
  for (int i = 0; i < 6; ++i)
    args.push_back(WriteFile("doc" + std::to_string(i) + ".vfk", RedBlueDocument()));
  Bytes damaged = RedBlueDocument();
  damaged[0] = 'X';
  args.push_back(WriteFile("damaged.vfk", damaged));
  const Outcome run = Vfkthumb(args);
  EXPECT_EQ(run.status, vfkthumb::kExitNoThumbnail);
  EXPECT_EQ(run.out,
            "vfkthumb: 7 documents: 6 thumbnails written, 1 without a thumbnail, 0 failed\n");
  EXPECT_NE(run.err.find("damaged.vfk: not a recognised document"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir_ / "thumbs" / "damaged.vfk.png"));
  std::uint32_t width = 0, height = 0;
  const std::vector<std::uint32_t> pixels =
      ReadPng((dir_ / "thumbs" / "doc5.vfk.png").string(), width, height);
  EXPECT_EQ(width, 256u);  // the default size
  EXPECT_EQ(pixels[128 * 256 + 0], kRed);
  EXPECT_EQ(pixels[128 * 256 + 255], kBlue);
  EXPECT_EQ(pixels[0], 0u);

  args.push_back(Path("missing.vfk"));
  EXPECT_EQ(Vfkthumb(args).status, vfkthumb::kExitError);
}

// Two inputs that would write the same DIR/<name>.png: one thumbnail would be
// lost, so nothing is done at all.
TEST_F(VfkthumbCommand, RefusesABatchWhoseInputsShareAnOutputName) {
  fs::create_directories(dir_ / "a");
  fs::create_directories(dir_ / "b");
  const std::string first = WriteFile("a/doc.vfk", RedBlueDocument());
  const std::string other = WriteFile("other.vfk", RedBlueDocument());
  const std::string second = WriteFile("b/doc.vfk", RedBlueDocument());
  const struct {
    const char* what;
    std::vector<std::string> inputs;
    std::string named;
  } cases[] = {
      {"same name in two folders", {first, other, second}, first + " and " + second},
      {"same input twice", {other, other}, other + " and " + other},
#ifdef _WIN32
      // The system folds every letter, not only ASCII.
      {"names that differ in the case of a non-ASCII letter",
       {WriteFile("a/\xC3\x84rger.vfk", RedBlueDocument()),
        WriteFile("b/\xC3\xA4rger.vfk", RedBlueDocument())},
       Path("a/\xC3\x84rger.vfk") + " and " + Path("b/\xC3\xA4rger.vfk")},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = {"--output-dir", Path("thumbs")};
    args.insert(args.end(), c.inputs.begin(), c.inputs.end());
    const Outcome run = Vfkthumb(args);
    EXPECT_EQ(run.status, vfkthumb::kExitError);
    EXPECT_NE(run.err.find(c.named + " would both be written to "), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(dir_ / "thumbs"));
  }
}

// `-o docs docs/a docs/a.png`: the thumbnail of docs/a would replace the
// input docs/a.png, however the folder is named.
TEST_F(VfkthumbCommand, RefusesABatchThatWouldWriteOverAnInput) {
  fs::create_directories(dir_ / "docs");
  const std::string document = WriteFile("docs/a", RedBlueDocument());
  const std::string named = WriteFile("docs/a.png", RedBlueDocument());
  for (const std::string& outputDir : {Path("docs"), Path("docs/../docs/.")}) {
    SCOPED_TRACE(outputDir);
    const Outcome run = Vfkthumb({"--output-dir", outputDir, document, named});
    EXPECT_EQ(run.status, vfkthumb::kExitError);
    EXPECT_NE(run.err.find("the thumbnail of " + document + " would be written over the input " +
                           named + "; nothing was done"),
              std::string::npos)
        << run.err;
    std::ifstream file(named, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()),
              RedBlueDocument());
  }
}

TEST(GuardedJob, EndsEveryJobWithAnErrorNamingTheInput) {
  struct Case {
    const char* what;
    std::function<vfkthumb::JobResult()> job;
    const char* message;
  };
  const Case cases[] = {
      {"out of memory", []() -> vfkthumb::JobResult { throw std::bad_alloc(); },
       "in.vfk: out of memory"},
      {"a runtime error", []() -> vfkthumb::JobResult { throw std::runtime_error("disk gone"); },
       "in.vfk: failed: disk gone"},
      {"not a standard exception", []() -> vfkthumb::JobResult { throw 42; },
       "in.vfk: failed for an unknown reason"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const vfkthumb::JobResult result = vfkthumb::GuardedJob("in.vfk", c.job);
    EXPECT_EQ(result.outcome, vfkthumb::Outcome::kError);
    EXPECT_EQ(result.message, c.message);
  }
}

}  // namespace
