// The whole thumbnail pipeline at 256 (ComposeThumbnail over a memory
// stream) for each example document, beside its parts in the same run:
//   Load      the loader alone: reading the document and unpacking the picture;
//   Unpack    (".vfk") the thumbnail payload alone: inflating or copying it;
//   UnpackInPieces  the same through zlib piece by piece, for comparison;
//   Resample  the loaded picture to its fitted size;
//   Composite the fitted picture onto the cleared square.
// Load minus Unpack is the reading; the Zstandard share of a ".vfq" load is
// in tnw_bench. The examples are read from the folder given by
// --examples=DIR (default: the build's examples).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "bytes/little_endian.h"
#include "formats/native/pac_entry.h"
#include "formats/native/payload.h"
#include "formats/native/vfk_layout.h"
#include "formats/native/vfk_thumbnail.h"
#include "formats/tnw/tnw_thumbnail.h"
#include "image/composite.h"
#include "image/fit.h"
#include "resample/resample.h"
#include "platform/memory_stream.h"
#include "provider/compose_thumbnail.h"

namespace {

constexpr std::uint32_t kSide = 256;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Rewind(IStream* stream) {
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
}

struct Example {
  std::string name;
  Bytes document;
  Loader loader;
};

void LoadInto(oxan::CImage32& image, const Example& example) {
  ComRef<IStream> stream = MakeMemoryStream(example.document);
  oxan::ImageSink sink(image);
  if (!example.loader(sink, stream.Get()))
    throw std::runtime_error(example.name + ": no thumbnail");
}

// Sizes `scaled` as the pipeline does for the loaded picture.
void SizeFitted(oxan::CImage32& scaled, const oxan::CImage32& loaded) {
  oxan::FitRect fit{};
  oxan::FitSize(kSide, kSide, loaded.Width(), loaded.Height(), fit);
  scaled.Resize(std::max(fit.width, 1), std::max(fit.height, 1));
}

void Pipeline(benchmark::State& state, const Example& example) {
  ComRef<IStream> stream = MakeMemoryStream(example.document);
  for (auto _ : state) {
    Rewind(stream.Get());
    oxan::CImage32 square;
    if (!ComposeThumbnail(example.loader, stream.Get(), kSide, square))
      state.SkipWithError("no thumbnail");
    benchmark::DoNotOptimize(square.Pixels());
  }
}

void Load(benchmark::State& state, const Example& example) {
  ComRef<IStream> stream = MakeMemoryStream(example.document);
  for (auto _ : state) {
    Rewind(stream.Get());
    oxan::CImage32 image;
    oxan::ImageSink sink(image);
    if (!example.loader(sink, stream.Get())) state.SkipWithError("no thumbnail");
    benchmark::DoNotOptimize(image.Pixels());
  }
}

// The thumbnail entry's header and payload: the entry named by "bin" is the
// only one with a method the loader unpacks in the examples, and the last.
// Empty when the document has no whole entry.
struct VfkPayload {
  std::uint32_t method = 0;
  std::uint32_t storedLength = 0;
  std::uint32_t unpackedLength = 0;
  Bytes bytes;
};

VfkPayload FindVfkPayload(const Bytes& document) {
  VfkPayload last;
  if (document.size() < native::kHeaderSize) return last;
  std::size_t at = native::kHeaderSize + ReadLe32(document.data() + native::kXmlLengthAt);
  while (at + native::kEntryHeaderSize <= document.size()) {
    std::uint8_t header[native::kEntryHeaderSize];
    std::memcpy(header, document.data() + at, sizeof header);
    native::PacEntry entry{};
    if (!native::ParsePacEntry(header, entry)) break;
    at += native::kEntryHeaderSize;
    if (entry.storedLength > document.size() - at) break;  // a payload past the file's end
    last = {entry.method, entry.storedLength, entry.unpackedLength,
            Bytes(document.begin() + static_cast<std::ptrdiff_t>(at),
                  document.begin() + static_cast<std::ptrdiff_t>(at + entry.storedLength))};
    at += entry.storedLength;
  }
  return last;
}

// Unpacks the thumbnail payload into the loaded picture's pixels, the zlib
// stream in one call when it may be (as the loader does) or, with `inPieces`,
// always piece by piece through zlib.
void UnpackPayload(benchmark::State& state, const Example& example, bool inPieces) {
  const VfkPayload payload = FindVfkPayload(example.document);
  oxan::CImage32 image;
  LoadInto(image, example);
  const std::span<std::uint8_t> pixels(
      reinterpret_cast<std::uint8_t*>(image.Pixels()),
      std::size_t(image.Width()) * std::size_t(image.Height()) * 4);
  ComRef<IStream> stream = MakeMemoryStream(payload.bytes);
  for (auto _ : state) {
    Rewind(stream.Get());
    const auto inflate = inPieces ? native::InflateInPieces : native::InflatePayload;
    const bool unpacked =
        payload.method == native::kMethodZlib
            ? inflate(stream.Get(), payload.storedLength, payload.unpackedLength, pixels)
            : native::ReadStoredPayload(stream.Get(), payload.unpackedLength, pixels);
    if (!unpacked) state.SkipWithError("not unpacked");
    benchmark::DoNotOptimize(pixels.data());
  }
}

void Unpack(benchmark::State& state, const Example& example) {
  UnpackPayload(state, example, false);
}

void UnpackInPieces(benchmark::State& state, const Example& example) {
  UnpackPayload(state, example, true);
}

void Resample(benchmark::State& state, const Example& example) {
  oxan::CImage32 loaded, scaled;
  LoadInto(loaded, example);
  SizeFitted(scaled, loaded);
  for (auto _ : state) {
    oxan::Resample(scaled, loaded);
    benchmark::DoNotOptimize(scaled.Pixels());
  }
}

void Composite(benchmark::State& state, const Example& example) {
  oxan::CImage32 loaded, scaled, square;
  LoadInto(loaded, example);
  SizeFitted(scaled, loaded);
  oxan::Resample(scaled, loaded);
  square.Resize(kSide, kSide);
  for (auto _ : state) {
    std::memset(square.Pixels(), 0, std::size_t{kSide} * kSide * 4);
    oxan::Composite(square, oxan::BlendParams{}, oxan::CentreOffset(kSide, scaled.Width()),
                    oxan::CentreOffset(kSide, scaled.Height()), scaled, scaled.Width(),
                    scaled.Height());
    benchmark::DoNotOptimize(square.Pixels());
  }
}

std::vector<Example> ReadExamples(const std::filesystem::path& dir) {
  std::vector<Example> examples;
  for (const auto& file : std::filesystem::directory_iterator(dir)) {
    const std::string extension = file.path().extension().string();
    if (extension != ".vfk" && extension != ".vfq") continue;
    examples.push_back({file.path().filename().string(), ReadFile(file.path()),
                        extension == ".vfk" ? ReadVfkThumbnail : ReadTnwThumbnail});
  }
  std::sort(examples.begin(), examples.end(),
            [](const Example& a, const Example& b) { return a.name < b.name; });
  return examples;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path dir = VFK_EXAMPLES_DIR;
  const std::string option = "--examples=";
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).starts_with(option)) dir = std::string(argv[i]).substr(option.size());
  benchmark::Initialize(&argc, argv);
  static const std::vector<Example> examples = ReadExamples(dir);
  if (examples.empty()) {
    std::fprintf(stderr, "pipeline_bench: no examples in %s\n", dir.string().c_str());
    return 2;
  }
  for (const Example& e : examples) {
    const auto add = [&](const char* part, void (*run)(benchmark::State&, const Example&)) {
      benchmark::RegisterBenchmark((std::string(part) + "/" + e.name).c_str(), run, e)
          ->Unit(benchmark::kMicrosecond);
    };
    add("Pipeline", Pipeline);
    add("Load", Load);
    if (e.name.ends_with(".vfk")) {
      add("Unpack", Unpack);
      add("UnpackInPieces", UnpackInPieces);
    }
    add("Resample", Resample);
    add("Composite", Composite);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
