// The library's life inside a host process that loads and unloads it and
// runs requests on threads it does not control: each thread's allocator
// caches are released when the thread ends (thread notifications are off),
// and unloading while threads that used the library are still alive is
// safe and gives all memory back.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "emulated_threads.h"
#include "loaded_server.h"
#include "pooled_requests.h"

namespace {

// Growth allowed between the settled state and the end. The allocator may
// still add a region or two after settling (it skips rescans for a while,
// and the threads of a round overlap differently each time); seen here: up
// to 32 MiB. Stranded caches cost four 16 MiB regions a round (over 1 GiB
// in all), regions kept across unloads one region a cycle (over 200 MiB).
constexpr std::size_t kAllowedGrowth = 96u << 20;

TEST(VfkThumbDll, ReleasesEachThreadsCachesWhenTheThreadEnds) {
  vfktest::SkipWithoutThreads();
  constexpr int kRounds = 20;
  constexpr int kSettledAfter = 3;
  constexpr std::size_t kThreadsPerRound = 16;
  const LoadedServer& server = ProcessServer();
  ASSERT_TRUE(server.Loaded());
  const std::vector<std::uint8_t> document = PooledDocument();

  std::size_t settled = 0;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<char> made(kThreadsPerRound, 0);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < kThreadsPerRound; ++i) {
      threads.emplace_back([&, i] { made[i] = ThumbnailAtPooledSides(server, document); });
    }
    for (std::thread& thread : threads) thread.join();
    for (const char ok : made) ASSERT_TRUE(ok);
    if (round + 1 == kSettledAfter) settled = CommittedPrivateBytes();
  }
  EXPECT_LT(CommittedPrivateBytes(), settled + kAllowedGrowth);
  EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

// Threads that used the library wait, alive, while it is unloaded; they end
// only afterwards. Freeing the library hands their caches back before its
// memory goes.
TEST(VfkThumbDll, UnloadsSafelyWhileThreadsThatUsedItStayAlive) {
  vfktest::SkipWithoutThreads();
  constexpr int kCycles = 16;
  constexpr int kSettledAfter = 3;
  constexpr std::size_t kThreads = 4;
  // A copy of its own, so that no other load in this process keeps it mapped.
  const std::wstring path = TemporaryCopyOfServer(
      (L"VfkThumbDll-unload-" + std::to_wstring(GetCurrentProcessId()) + L".dll").c_str());
  ASSERT_FALSE(path.empty());
  const std::vector<std::uint8_t> document = PooledDocument();

  std::size_t settled = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    SCOPED_TRACE(cycle);
    auto server = std::make_unique<LoadedServer>(path);
    ASSERT_TRUE(server->Loaded());
    HANDLE unloaded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> done(kThreads);
    for (HANDLE& event : done) event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<char> made(kThreads, 0);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        made[i] = ThumbnailAtPooledSides(*server, document);
        SetEvent(done[i]);
        WaitForSingleObject(unloaded, INFINITE);
      });
    }
    WaitForMultipleObjects(kThreads, done.data(), TRUE, INFINITE);
    EXPECT_EQ(server->CanUnloadNow(), S_OK);
    server->Unload();
    EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
    SetEvent(unloaded);
    for (std::thread& thread : threads) thread.join();
    for (HANDLE event : done) CloseHandle(event);
    CloseHandle(unloaded);
    for (const char ok : made) ASSERT_TRUE(ok);
    if (cycle + 1 == kSettledAfter) settled = CommittedPrivateBytes();
  }
  EXPECT_LT(CommittedPrivateBytes(), settled + kAllowedGrowth);
  EXPECT_TRUE(DeleteFileW(path.c_str()));
}

}  // namespace
