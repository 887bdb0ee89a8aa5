// Several threads allocate all three classes, hand blocks to each other and
// free them wherever they land. Every block handed out must be distinct from
// every live one, and the bytes written into it must survive until it is
// freed, whoever frees it.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <unordered_set>
#include <vector>

#include "emulated_threads.h"
#include "memory/block_alloc.h"

namespace {

constexpr int kThreads = 4;
constexpr int kRoundsPerThread = 1500;
constexpr std::uint64_t kSizes[] = {16384, 16380, 65536, 131072, 131065};

struct Block {
  unsigned char* data;
  std::uint64_t size;
  unsigned char fill;
};

class Exchange {
 public:
  // Registers a block that was just handed out; false when it is already live.
  bool Claim(const void* p) {
    std::lock_guard lock(mutex_);
    return live_.insert(p).second;
  }
  void Unclaim(const void* p) {
    std::lock_guard lock(mutex_);
    live_.erase(p);
  }
  void Post(int to, const Block& block) {
    std::lock_guard lock(mutex_);
    mailboxes_[static_cast<std::size_t>(to)].push_back(block);
  }
  std::vector<Block> Collect(int who) {
    std::lock_guard lock(mutex_);
    return std::exchange(mailboxes_[static_cast<std::size_t>(who)], {});
  }

 private:
  std::mutex mutex_;
  std::unordered_set<const void*> live_;
  std::array<std::vector<Block>, kThreads> mailboxes_;
};

bool Intact(const Block& block) {
  std::vector<unsigned char> expected(static_cast<std::size_t>(block.size), block.fill);
  return std::memcmp(block.data, expected.data(), expected.size()) == 0;
}

void Release(Exchange& exchange, const Block& block, int& corrupted) {
  if (!Intact(block)) ++corrupted;
  exchange.Unclaim(block.data);
  oxan::BlockFree(block.data, block.size);
}

TEST(BlockAllocThreads, BlocksAreNeverSharedAndKeepTheirBytesAcrossThreads) {
  vfktest::SkipWithoutThreads();
  Exchange exchange;
  std::array<int, kThreads> duplicates{};
  std::array<int, kThreads> corrupted{};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 random(static_cast<unsigned>(t) + 1);
      std::vector<Block> kept;
      for (int round = 0; round < kRoundsPerThread; ++round) {
        const std::uint64_t size = kSizes[random() % std::size(kSizes)];
        auto* data = static_cast<unsigned char*>(oxan::BlockAlloc(size));
        ASSERT_NE(data, nullptr);
        if (!exchange.Claim(data)) ++duplicates[static_cast<std::size_t>(t)];
        const Block block{data, size, static_cast<unsigned char>(random())};
        std::memset(data, block.fill, static_cast<std::size_t>(size));

        switch (random() % 3) {
          case 0:
            exchange.Post(static_cast<int>(random() % kThreads), block);
            break;
          default:
            kept.push_back(block);
            break;
        }
        if (kept.size() > 40) {
          Release(exchange, kept.front(), corrupted[static_cast<std::size_t>(t)]);
          kept.erase(kept.begin());
        }
        if (round % 16 == 0) {
          for (const Block& b : exchange.Collect(t)) {
            Release(exchange, b, corrupted[static_cast<std::size_t>(t)]);
          }
        }
      }
      // Blocks still kept are freed after this thread has ended.
      for (const Block& b : kept) exchange.Post(t, b);
    });
  }
  for (std::thread& thread : threads) thread.join();

  int leftOverCorrupted = 0;
  for (int t = 0; t < kThreads; ++t) {
    for (const Block& b : exchange.Collect(t)) Release(exchange, b, leftOverCorrupted);
  }
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(duplicates[static_cast<std::size_t>(t)], 0) << "thread " << t;
    EXPECT_EQ(corrupted[static_cast<std::size_t>(t)], 0) << "thread " << t;
  }
  EXPECT_EQ(leftOverCorrupted, 0);
}

}  // namespace
