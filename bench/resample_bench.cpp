// Resample on the sizes the thumbnailer meets, on the path the processor
// picks and on the baseline path, beside a plain copy of the destination for
// scale.
//
// Pictures come from xorshift32 with seed 1, one word per pixel (bytes B, G,
// R, A); the top byte picks the alpha: below 64 transparent, below 128 that
// value, otherwise opaque. bench/compare-resample.py builds the same pictures
// for Pillow.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "image/image32.h"
#include "resample/resample.h"

namespace {

void FillPicture(oxan::CImage32& image, std::int32_t width, std::int32_t height) {
  if (!image.Resize(width, height)) throw std::bad_alloc();
  std::uint32_t state = 1;
  for (std::int64_t i = 0; i < std::int64_t{width} * height; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    const std::uint32_t top = state >> 24;
    const std::uint32_t alpha = top < 64 ? 0 : top < 128 ? top : 255;
    image.Pixels()[i] = alpha << 24 | (state & 0xFFFFFF);
  }
}

// Arguments: source width, source height, destination width, height.
void ResampleOn(benchmark::State& state, oxan::ResamplePath path) {
  oxan::CImage32 source, destination;
  FillPicture(source, static_cast<std::int32_t>(state.range(0)),
              static_cast<std::int32_t>(state.range(1)));
  if (!destination.Resize(static_cast<std::int32_t>(state.range(2)),
                          static_cast<std::int32_t>(state.range(3))))
    throw std::bad_alloc();
  for (auto _ : state) {
    oxan::Resample(destination, source, path);
    benchmark::DoNotOptimize(destination.Pixels());
    benchmark::ClobberMemory();
  }
}

// The path the processor picks, and the baseline path forced.
void BM_Resample(benchmark::State& state) { ResampleOn(state, oxan::ResamplePath::kAuto); }
void BM_ResampleBaseline(benchmark::State& state) {
  ResampleOn(state, oxan::ResamplePath::kBaseline);
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgNames({"sw", "sh", "dw", "dh"})
      ->Args({1024, 1024, 256, 256})
      ->Args({300, 200, 256, 170})
      ->Args({100, 100, 256, 256})
      ->Args({1000, 1, 256, 1})
      ->Args({64, 64, 256, 256});
}
BENCHMARK(BM_Resample)->Apply(Sizes);
BENCHMARK(BM_ResampleBaseline)->Apply(Sizes);

// The floor for replication: one memcpy of a destination of that size.
void BM_CopyDestination(benchmark::State& state) {
  oxan::CImage32 from, to;
  const auto width = static_cast<std::int32_t>(state.range(0));
  const auto height = static_cast<std::int32_t>(state.range(1));
  FillPicture(from, width, height);
  if (!to.Resize(width, height)) throw std::bad_alloc();
  for (auto _ : state) {
    std::memcpy(to.Pixels(), from.Pixels(),
                std::size_t{4} * static_cast<std::uint32_t>(width * height));
    benchmark::DoNotOptimize(to.Pixels());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CopyDestination)->ArgNames({"dw", "dh"})->Args({256, 256});

}  // namespace
