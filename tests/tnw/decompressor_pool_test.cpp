#include "formats/tnw/decompressor_pool.h"

#include <gtest/gtest.h>
#include <zstd.h>

#include <thread>
#include <vector>

#include "emulated_threads.h"
#include "vfq_writer.h"

namespace {

// Every frame of `source` into `out` through a leased context; the bytes
// written, or -1 on a Zstandard error.
std::ptrdiff_t Decompress(tnw::DecompressorPool& pool, const std::uint8_t* source, std::size_t size,
                          vfqtest::Bytes& out) {
  const tnw::DecompressorPool::Lease context = pool.Take();
  if (!context.get()) return -1;
  const std::size_t written =
      ZSTD_decompressDCtx(context.get(), out.data(), out.size(), source, size);
  return ZSTD_isError(written) ? -1 : static_cast<std::ptrdiff_t>(written);
}

TEST(DecompressorPool, ReusesContextsAcrossThreads) {
  vfktest::SkipWithoutThreads();
  vfqtest::Bytes content(200000);
  for (std::size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<std::uint8_t>(i * 7 / 13);
  const vfqtest::Bytes blob = vfqtest::ZstdBlob(content);
  const std::uint8_t* payload = blob.data() + 9;
  const std::size_t payloadSize = blob.size() - 9;

  tnw::DecompressorPool pool;
  constexpr int kThreads = 4;
  constexpr int kRounds = 25;
  std::vector<int> failures(kThreads, 0);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] {
        vfqtest::Bytes out(content.size());
        for (int round = 0; round < kRounds; ++round) {
          std::fill(out.begin(), out.end(), 0);
          const std::ptrdiff_t written = Decompress(pool, payload, payloadSize, out);
          if (written != static_cast<std::ptrdiff_t>(content.size()) || out != content)
            ++failures[static_cast<std::size_t>(t)];
        }
      });
  }
  EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
  EXPECT_GE(pool.contextCount(), 1u);
  EXPECT_LE(pool.contextCount(), static_cast<std::size_t>(kThreads));

  vfqtest::Bytes small(10);
  EXPECT_EQ(Decompress(pool, payload, payloadSize, small), -1);
  EXPECT_EQ(Decompress(pool, content.data(), 100, small), -1);
}

}  // namespace
