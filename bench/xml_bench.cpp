// What the native loader's XML header costs in time: each hostile document
// (built to make TinyXML's tree large or slow; the cost test bounds its
// memory) loaded whole, beside a document without extra XML. A document
// refused by the loader's limits should cost no more than the largest one
// within them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "formats/native/vfk_thumbnail.h"
#include "hostile_xml.h"
#include "image/image32.h"
#include "platform/memory_stream.h"

namespace {

void Load(benchmark::State& state, const std::vector<std::uint8_t>& document, bool loads) {
  for (auto _ : state) {
    ComRef<IStream> stream = MakeMemoryStream(document);
    oxan::CImage32 image;
    if (LoadVfkThumbnail(image, stream.Get()) != loads) state.SkipWithError("unexpected outcome");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(document.size()));
}

}  // namespace

int main(int argc, char** argv) {
  static const std::vector<std::uint8_t> plain = vfktest::PlainXmlDocument();
  static const std::vector<vfktest::HostileXmlDocument> documents =
      vfktest::HostileXmlDocuments();
  benchmark::RegisterBenchmark("XmlHeader/plain",
                               [](benchmark::State& state) { Load(state, plain, true); })
      ->Unit(benchmark::kMillisecond);
  for (const vfktest::HostileXmlDocument& document : documents) {
    benchmark::RegisterBenchmark(
        (std::string("XmlHeader/") + document.what).c_str(),
        [&document](benchmark::State& state) { Load(state, document.document, document.loads); })
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
