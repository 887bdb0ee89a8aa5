// Extracting a 256 × 256 thumbnail from a TNW document that holds a
// 1024 × 1024 Zstandard thumbnail, beside the bare cost of its two main
// parts in the same run: one ZSTD_decompressDCtx of that blob and one
// Resample of the picture to 256 × 256. bench/compare-tnw.sh prints the
// whole path over the sum of the parts. The same for a 16384 × 16384
// picture (Huge), streamed, beside loading it whole and resampling it.
//
// `tnw_bench --peak-memory` instead measures how far the heap in use rises
// above where it stood during one extraction by the loader, beside the
// budget: the decompressed picture plus the compressed payload plus a few
// pages.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <zstd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "formats/tnw/tnw_thumbnail.h"
#include "image/image32.h"
#include "platform/memory_stream.h"
#include "provider/compose_thumbnail.h"
#include "resample/resample.h"
#include "vfq_writer.h"

namespace {

constexpr std::int32_t kSide = 1024;
constexpr std::uint32_t kThumbnail = 256;

// Smooth colour fields with noise in the low bits: compresses like a photo.
std::vector<std::uint32_t> Picture() {
  std::vector<std::uint32_t> pixels(std::size_t{kSide} * kSide);
  std::uint32_t state = 1;
  for (std::int32_t y = 0; y < kSide; ++y)
    for (std::int32_t x = 0; x < kSide; ++x) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      const std::uint32_t r = static_cast<std::uint32_t>(x / 4) ^ (state & 7);
      const std::uint32_t g = static_cast<std::uint32_t>(y / 4) ^ (state >> 8 & 7);
      const std::uint32_t b = static_cast<std::uint32_t>((x + y) / 8) ^ (state >> 16 & 7);
      pixels[std::size_t(y) * kSide + std::size_t(x)] =
          0xFF000000 | (r & 255) << 16 | (g & 255) << 8 | (b & 255);
    }
  return pixels;
}

struct Fixture {
  std::vector<std::uint32_t> pixels = Picture();
  vfqtest::Bytes document =
      vfqtest::ThumbnailDocument(kSide, kSide, pixels, vfqtest::kZstdBlob).Build();
  vfqtest::Bytes blob;  // the Zstandard payload alone

  Fixture() {
    vfqtest::Bytes content(pixels.size() * 4);
    std::memcpy(content.data(), pixels.data(), content.size());
    blob = vfqtest::ZstdBlob(content);
    blob.erase(blob.begin(), blob.begin() + 9);
  }
};

const Fixture& TheFixture() {
  static const Fixture fixture;
  return fixture;
}

void Rewind(IStream* stream) {
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
}

// The whole thumbnail of `document` at 256, as the provider makes it.
void Thumbnails(benchmark::State& state, const vfqtest::Bytes& document) {
  ComRef<IStream> stream = MakeMemoryStream(document);
  for (auto _ : state) {
    Rewind(stream.Get());
    oxan::CImage32 square;
    if (!ComposeThumbnail(ReadTnwThumbnail, stream.Get(), kThumbnail, square))
      state.SkipWithError("no thumbnail");
    benchmark::DoNotOptimize(square.Pixels());
  }
}

void BM_ExtractThumbnail(benchmark::State& state) { Thumbnails(state, TheFixture().document); }
BENCHMARK(BM_ExtractThumbnail)->Unit(benchmark::kMillisecond);

void BM_DecompressBlob(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  std::vector<std::uint8_t> out(fixture.pixels.size() * 4);
  ZSTD_DCtx* context = ZSTD_createDCtx();
  for (auto _ : state) {
    const std::size_t n = ZSTD_decompressDCtx(context, out.data(), out.size(), fixture.blob.data(),
                                              fixture.blob.size());
    if (n != out.size()) state.SkipWithError("decompression failed");
    benchmark::DoNotOptimize(out.data());
  }
  ZSTD_freeDCtx(context);
}
BENCHMARK(BM_DecompressBlob)->Unit(benchmark::kMillisecond);

void BM_ResamplePicture(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  oxan::CImage32 source, destination;
  if (!source.Resize(kSide, kSide) || !destination.Resize(kThumbnail, kThumbnail))
    throw std::bad_alloc();
  std::memcpy(source.Pixels(), fixture.pixels.data(), fixture.pixels.size() * 4);
  for (auto _ : state) {
    oxan::Resample(destination, source);
    benchmark::DoNotOptimize(destination.Pixels());
  }
}
BENCHMARK(BM_ResamplePicture)->Unit(benchmark::kMillisecond);

// A 16384 × 16384 picture (1 GiB) in a blob of under 1 MiB: the thumbnail
// streamed from the document; the picture loaded whole and resampled, as
// before it was streamed; and the two parts alone, Zstandard's decoding and
// resampling the picture in memory.
constexpr std::int32_t kHugeSide = 16384;

struct HugeFixture {
  vfqtest::Bytes document = vfqtest::PatternDocument(kHugeSide, kHugeSide).Build();
};

const HugeFixture& TheHugeFixture() {
  static const HugeFixture fixture;
  return fixture;
}

void BM_HugeThumbnail(benchmark::State& state) { Thumbnails(state, TheHugeFixture().document); }
BENCHMARK(BM_HugeThumbnail)->Unit(benchmark::kMillisecond);

void BM_HugeWholeDecompressAndResample(benchmark::State& state) {
  ComRef<IStream> stream = MakeMemoryStream(TheHugeFixture().document);
  oxan::CImage32 picture, destination;
  if (!destination.Resize(kThumbnail, kThumbnail)) throw std::bad_alloc();
  for (auto _ : state) {
    Rewind(stream.Get());
    if (!LoadTnwThumbnail(picture, stream.Get())) state.SkipWithError("no picture");
    oxan::Resample(destination, picture);
    benchmark::DoNotOptimize(destination.Pixels());
  }
}
BENCHMARK(BM_HugeWholeDecompressAndResample)->Unit(benchmark::kMillisecond);

// Zstandard's own decoding of the huge blob, into one small buffer over and
// over (no picture memory to fault in).
void BM_HugeDecompressOnly(benchmark::State& state) {
  const vfqtest::Bytes blob = vfqtest::PatternBlob(kHugeSide, kHugeSide);
  const vfqtest::Bytes payload(blob.begin() + 9, blob.end());  // after type and size
  std::vector<std::uint8_t> out(ZSTD_DStreamOutSize());
  ZSTD_DCtx* context = ZSTD_createDCtx();
  for (auto _ : state) {
    ZSTD_DCtx_reset(context, ZSTD_reset_session_only);
    ZSTD_inBuffer in{payload.data(), payload.size(), 0};
    std::size_t left = 1;
    while (left != 0) {
      ZSTD_outBuffer output{out.data(), out.size(), 0};
      left = ZSTD_decompressStream(context, &output, &in);
      if (ZSTD_isError(left)) {
        state.SkipWithError("decompression failed");
        break;
      }
    }
    benchmark::DoNotOptimize(out.data());
  }
  ZSTD_freeDCtx(context);
}
BENCHMARK(BM_HugeDecompressOnly)->Unit(benchmark::kMillisecond);

// Resample of the whole huge picture, already in memory, to 256 x 256.
void BM_HugeResampleOnly(benchmark::State& state) {
  oxan::CImage32 picture, destination;
  if (!picture.Resize(kHugeSide, kHugeSide) || !destination.Resize(kThumbnail, kThumbnail))
    throw std::bad_alloc();
  for (std::int32_t y = 0; y < kHugeSide; ++y)
    for (std::int32_t x = 0; x < kHugeSide; ++x)
      picture.RowPointer(y)[x] = vfqtest::PatternPixel(x, y);
  for (auto _ : state) {
    oxan::Resample(destination, picture);
    benchmark::DoNotOptimize(destination.Pixels());
  }
}
BENCHMARK(BM_HugeResampleOnly)->Unit(benchmark::kMillisecond);

}  // namespace

// The heap in use, counted by wrapping glibc's allocator for this program
// and every library in it (the loader, Zstandard, the C++ runtime).
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<std::int64_t> heapInUse{0};
std::atomic<std::int64_t> heapPeak{0};

void Count(std::int64_t change) {
  const std::int64_t now = heapInUse.fetch_add(change, std::memory_order_relaxed) + change;
  std::int64_t peak = heapPeak.load(std::memory_order_relaxed);
  while (now > peak && !heapPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

std::int64_t SizeOf(void* block) {
  return block ? static_cast<std::int64_t>(malloc_usable_size(block)) : 0;
}

}  // namespace

extern "C" {
void* malloc(std::size_t size) {
  void* block = __libc_malloc(size);
  Count(SizeOf(block));
  return block;
}
void* calloc(std::size_t count, std::size_t size) {
  void* block = __libc_calloc(count, size);
  Count(SizeOf(block));
  return block;
}
void* realloc(void* block, std::size_t size) {
  const std::int64_t before = SizeOf(block);
  void* moved = __libc_realloc(block, size);
  if (moved || size == 0) Count(SizeOf(moved) - before);
  return moved;
}
void free(void* block) {
  Count(-SizeOf(block));
  __libc_free(block);
}
}

namespace {

// In a child, so nothing else of this process mixes in.
int MeasurePeakMemory() {
  const Fixture& fixture = TheFixture();
  const double pictureKiB = double(fixture.pixels.size()) * 4 / 1024;
  const double payloadKiB = double(fixture.blob.size()) / 1024;
  ComRef<IStream> stream = MakeMemoryStream(fixture.document);
  const std::int64_t before = heapInUse.load();
  heapPeak.store(before);
  oxan::CImage32 image;
  const bool loaded = LoadTnwThumbnail(image, stream.Get());
  const std::int64_t peak = heapPeak.load();
  std::printf("loaded: %s\n", loaded ? "yes" : "no");
  std::printf("peak heap growth during extraction: %.0f KiB\n", double(peak - before) / 1024);
  std::printf(
      "budget: picture %.0f KiB + payload %.0f KiB + a few pages of 64 KiB = %.0f KiB + pages\n",
      pictureKiB, payloadKiB, pictureKiB + payloadKiB);
  return loaded ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--peak-memory") return MeasurePeakMemory();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
