// Alloc + free pairs of 16, 64 and 128 KiB blocks: our block allocator
// against the C library's malloc and mimalloc, in one run.
//
//   single:  one thread allocates and frees at once.
//   batch64: one thread holds 64 blocks, then frees them all; the counter
//            faults_per_batch shows whether memory went back to the system
//            between batches (a block handed back and touched again faults).
//   cross:   one thread allocates, another frees (one block at a time
//            through a single-producer ring).
//
// mimalloc's shared library replaces malloc (even __libc_malloc) in any
// process that links it, so it is loaded privately with dlopen and called
// through its own entry points; malloc stays the C library's. The Windows
// build compares with the C runtime's malloc only and counts no faults.
#include <benchmark/benchmark.h>
#if !defined(_WIN32)
#include <dlfcn.h>
#include <sys/resource.h>
#endif

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "memory/block_alloc.h"

namespace {

#if !defined(_WIN32)
struct MimallocLibrary {
  MimallocLibrary() {
    void* library = dlopen("libmimalloc.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!library) throw std::runtime_error(dlerror());
    malloc = reinterpret_cast<void* (*)(std::size_t)>(dlsym(library, "mi_malloc"));
    free = reinterpret_cast<void (*)(void*)>(dlsym(library, "mi_free"));
    if (!malloc || !free) throw std::runtime_error("mimalloc lacks mi_malloc or mi_free");
  }
  void* (*malloc)(std::size_t);
  void (*free)(void*);
};

const MimallocLibrary& Mi() {
  static const MimallocLibrary library;
  return library;
}

struct Mimalloc {
  static void* Alloc(std::size_t size) { return Mi().malloc(size); }
  static void Free(void* p, std::size_t) { Mi().free(p); }
};

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}
#endif

struct Ours {
  static void* Alloc(std::size_t size) { return oxan::BlockAlloc(size); }
  static void Free(void* p, std::size_t size) { oxan::BlockFree(p, size); }
};
struct Libc {
  static void* Alloc(std::size_t size) { return std::malloc(size); }
  static void Free(void* p, std::size_t) { std::free(p); }
};
void Touch(void* p) { *static_cast<volatile unsigned char*>(p) = 1; }

template <typename A>
void Single(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    void* p = A::Alloc(size);
    Touch(p);
    benchmark::DoNotOptimize(p);
    A::Free(p, size);
  }
  state.SetItemsProcessed(state.iterations());
}

template <typename A>
void Batch64(benchmark::State& state) {
  constexpr int kBatch = 64;
  const auto size = static_cast<std::size_t>(state.range(0));
  std::array<void*, kBatch> blocks{};
#if !defined(_WIN32)
  const long faultsBefore = MinorFaults();
#endif
  for (auto _ : state) {
    for (void*& p : blocks) {
      p = A::Alloc(size);
      Touch(p);
    }
    benchmark::ClobberMemory();
    for (void* p : blocks) A::Free(p, size);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
#if !defined(_WIN32)
  state.counters["faults_per_batch"] = benchmark::Counter(
      static_cast<double>(MinorFaults() - faultsBefore) / static_cast<double>(state.iterations()));
#endif
}

// Producer allocates; a consumer thread frees. The ring holds pointers only.
template <typename A>
void Cross(benchmark::State& state) {
  constexpr std::size_t kRing = 256;
  const auto size = static_cast<std::size_t>(state.range(0));
  std::array<std::atomic<void*>, kRing> ring{};
  std::atomic<bool> done{false};
  std::thread consumer([&] {
    std::size_t tail = 0;
    for (;;) {
      void* p = ring[tail].exchange(nullptr, std::memory_order_acquire);
      if (p) {
        A::Free(p, size);
        tail = (tail + 1) % kRing;
      } else if (done.load(std::memory_order_acquire)) {
        if (!ring[tail].load(std::memory_order_acquire)) break;
      }
    }
  });
  std::size_t head = 0;
  for (auto _ : state) {
    void* p = A::Alloc(size);
    Touch(p);
    while (ring[head].load(std::memory_order_acquire)) {
    }
    ring[head].store(p, std::memory_order_release);
    head = (head + 1) % kRing;
  }
  done.store(true, std::memory_order_release);
  consumer.join();
  state.SetItemsProcessed(state.iterations());
}

void SizeArgs(benchmark::internal::Benchmark* b) {
  b->Arg(16384)->Arg(65536)->Arg(131072)->UseRealTime();
}

BENCHMARK_TEMPLATE(Single, Ours)->Apply(SizeArgs);
BENCHMARK_TEMPLATE(Single, Libc)->Apply(SizeArgs);
BENCHMARK_TEMPLATE(Batch64, Ours)->Apply(SizeArgs);
BENCHMARK_TEMPLATE(Batch64, Libc)->Apply(SizeArgs);
BENCHMARK_TEMPLATE(Cross, Ours)->Apply(SizeArgs);
BENCHMARK_TEMPLATE(Cross, Libc)->Apply(SizeArgs);
#if !defined(_WIN32)
BENCHMARK_TEMPLATE(Single, Mimalloc)->Apply(SizeArgs);
BENCHMARK_TEMPLATE(Batch64, Mimalloc)->Apply(SizeArgs);
BENCHMARK_TEMPLATE(Cross, Mimalloc)->Apply(SizeArgs);
#endif

}  // namespace

BENCHMARK_MAIN();
