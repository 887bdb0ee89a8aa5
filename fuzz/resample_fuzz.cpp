// libFuzzer target, differential: Resample (each path the processor can
// take), the same picture streamed through a RowResampler (in pieces and a
// band as small as the input chooses), and Composite on small images,
// against the plain transcription of the resampling rules that the tests
// use and a plain clipped copy. The input gives the sizes, the offset, the
// streaming and the source pixels.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "fuzz_run.h"
#include "image/composite.h"
#include "image/image32.h"
#include "resample/resample.h"
#include "resample/row_resampler.h"
#include "resample_reference.h"

namespace {

constexpr std::int32_t kMaxSide = 80;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool SamePixels(const oxan::CImage32& a, const oxan::CImage32& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::memcmp(
             a.Pixels(), b.Pixels(),
             static_cast<std::size_t>(a.Width()) * static_cast<std::size_t>(a.Height()) * 4) == 0;
}

void Drive(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto side = [&] { return input.ConsumeIntegralInRange<std::int32_t>(1, kMaxSide); };
  const std::int32_t sourceWidth = side(), sourceHeight = side();
  const std::int32_t width = side(), height = side();
  const std::int32_t canvasSide = side();
  const auto dx = input.ConsumeIntegralInRange<std::int32_t>(-kMaxSide, kMaxSide);
  const auto dy = input.ConsumeIntegralInRange<std::int32_t>(-kMaxSide, kMaxSide);
  // Streaming: the band's and the pieces' sizes, the size of each fill.
  const auto memoryBytes = [&] {
    return input.ConsumeIntegralInRange<std::size_t>(0, 4 * kMaxSide * 8);
  };
  const oxan::RowMemory memory{memoryBytes(), memoryBytes(), memoryBytes(),
                               4 * input.ConsumeIntegralInRange<std::size_t>(1, 2 * kMaxSide)};
  const auto fill = input.ConsumeIntegralInRange<std::size_t>(1, 4 * kMaxSide * kMaxSide);

  oxan::CImage32 source;
  Check(source.Resize(sourceWidth, sourceHeight));
  const std::size_t count =
      static_cast<std::size_t>(sourceWidth) * static_cast<std::size_t>(sourceHeight);
  for (std::size_t i = 0; i < count; ++i)
    source.Pixels()[i] = input.ConsumeIntegral<std::uint32_t>();

  oxan::CImage32 plain;
  Check(plain.Resize(width, height));
  oxan::testing::ReferenceResample(plain, source);
  // Each path the processor can take.
  if (oxan::Avx2Available()) {
    oxan::CImage32 wide;
    Check(wide.Resize(width, height));
    oxan::Resample(wide, source, oxan::ResamplePath::kAvx2);
    Check(SamePixels(wide, plain));
  }
  oxan::CImage32 fast;
  Check(fast.Resize(width, height));
  oxan::Resample(fast, source, oxan::ResamplePath::kBaseline);
  Check(SamePixels(fast, plain));

  for (const auto path : {oxan::ResamplePath::kAuto, oxan::ResamplePath::kBaseline}) {
    oxan::CImage32 streamed;
    Check(streamed.Resize(width, height));
    oxan::RowResampler resampler(streamed, sourceWidth, sourceHeight, path, memory);
    Check(resampler.Ready());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.Pixels());
    std::size_t at = 0;
    for (std::span<std::uint8_t> room = resampler.Room(); !room.empty(); room = resampler.Room()) {
      const std::size_t n = std::min(room.size(), fill);
      std::memcpy(room.data(), bytes + at, n);
      at += n;
      resampler.Filled(n);
    }
    Check(at == count * 4 && resampler.Complete());
    Check(SamePixels(streamed, plain));
  }

  // Copy mode onto a canvas: every covered pixel becomes the source's, the
  // rest stays.
  oxan::CImage32 canvas;
  Check(canvas.Resize(canvasSide, canvasSide));
  std::memset(canvas.Pixels(), 0x5A,
              static_cast<std::size_t>(canvasSide) * static_cast<std::size_t>(canvasSide) * 4);
  oxan::Composite(canvas, oxan::BlendParams{}, dx, dy, fast, width, height);
  for (std::int32_t y = 0; y < canvasSide; ++y) {
    for (std::int32_t x = 0; x < canvasSide; ++x) {
      const std::int32_t sx = x - dx, sy = y - dy;
      const bool covered = sx >= 0 && sy >= 0 && sx < width && sy < height;
      const std::uint32_t want = covered ? fast.RowPointer(sy)[sx] : 0x5A5A5A5Au;
      Check(canvas.RowPointer(y)[x] == want);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOnFuzzStack([&] { Drive(data, size); });
  return 0;
}
