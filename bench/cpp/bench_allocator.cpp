// Small-block throughput of the segment allocator against malloc/free, in
// the same run. Each benchmark times both allocators on the same workload;
// the reported time is the allocator's, and the counter "malloc/pelmark" is
// malloc's time over the allocator's (above 1: the allocator is faster).
//
//   single_thread_batch/<size>: allocate 256 blocks of <size> bytes, free
//     them in allocation order, repeat (local frees, page reuse).
//   single_thread_pairs/<size>: allocate one block and free it at once.
//   mixed_sizes: 256 blocks of sizes 16..1024 from a fixed random list.
//   producer_consumer/<size>: one thread allocates, a second frees through a
//     single-producer ring (remote frees, reclaimed by the producer).

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include <immintrin.h>

#include "pelmark/allocator.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Pelmark {
  static void* allocate(std::size_t size) { return pelmark::allocate(size, 16); }
  static void release(void* block) { pelmark::deallocate(block); }
};

struct Malloc {
  static void* allocate(std::size_t size) { return std::malloc(size); }
  static void release(void* block) { std::free(block); }
};

constexpr int kBatch = 256;

template <typename Allocator>
double time_batches(const std::vector<std::size_t>& sizes, int rounds) {
  void* blocks[kBatch];
  const auto start = Clock::now();
  for (int round = 0; round < rounds; ++round) {
    for (int i = 0; i < kBatch; ++i) {
      blocks[i] = Allocator::allocate(sizes[i]);
      benchmark::DoNotOptimize(blocks[i]);
    }
    for (int i = 0; i < kBatch; ++i) Allocator::release(blocks[i]);
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

template <typename Allocator>
double time_pairs(std::size_t size, int count) {
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    void* block = Allocator::allocate(size);
    benchmark::DoNotOptimize(block);
    Allocator::release(block);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A bounded single-producer single-consumer ring of block addresses.
class Ring {
 public:
  void push(void* block) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    while (tail - head_.load(std::memory_order_acquire) == kCapacity) _mm_pause();
    slots_[tail % kCapacity] = block;
    tail_.store(tail + 1, std::memory_order_release);
  }
  void* pop() {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    while (tail_.load(std::memory_order_acquire) == head) _mm_pause();
    void* block = slots_[head % kCapacity];
    head_.store(head + 1, std::memory_order_release);
    return block;
  }

 private:
  static constexpr std::size_t kCapacity = 4096;
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::atomic<std::size_t> tail_{0};
  alignas(64) void* slots_[kCapacity];
};

template <typename Allocator>
double time_producer_consumer(std::size_t size, int count) {
  Ring ring;
  const auto start = Clock::now();
  std::thread consumer([&] {
    for (int i = 0; i < count; ++i) Allocator::release(ring.pop());
  });
  for (int i = 0; i < count; ++i) ring.push(Allocator::allocate(size));
  consumer.join();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void report(benchmark::State& state, double pelmark_seconds, double malloc_seconds, double operations) {
  state.counters["pelmark_ns/op"] = pelmark_seconds * 1e9 / operations;
  state.counters["malloc_ns/op"] = malloc_seconds * 1e9 / operations;
  state.counters["malloc/pelmark"] = malloc_seconds / pelmark_seconds;
}

void single_thread_batch(benchmark::State& state) {
  const std::vector<std::size_t> sizes(kBatch, static_cast<std::size_t>(state.range(0)));
  constexpr int kRounds = 200;
  double pelmark_total = 0, malloc_total = 0;
  time_batches<Pelmark>(sizes, 10);  // warm both up
  time_batches<Malloc>(sizes, 10);
  for (auto _ : state) {
    const double p = time_batches<Pelmark>(sizes, kRounds);
    malloc_total += time_batches<Malloc>(sizes, kRounds);
    pelmark_total += p;
    state.SetIterationTime(p);
  }
  report(state, pelmark_total, malloc_total, double(state.iterations()) * kRounds * kBatch);
}
BENCHMARK(single_thread_batch)->Arg(16)->Arg(64)->Arg(256)->Arg(1024)->Arg(4096)->Arg(16384)->UseManualTime();

void single_thread_pairs(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  constexpr int kCount = 50000;
  double pelmark_total = 0, malloc_total = 0;
  for (auto _ : state) {
    const double p = time_pairs<Pelmark>(size, kCount);
    malloc_total += time_pairs<Malloc>(size, kCount);
    pelmark_total += p;
    state.SetIterationTime(p);
  }
  report(state, pelmark_total, malloc_total, double(state.iterations()) * kCount);
}
BENCHMARK(single_thread_pairs)->Arg(64)->Arg(1024)->UseManualTime();

void mixed_sizes(benchmark::State& state) {
  std::mt19937 random(42);
  std::vector<std::size_t> sizes(kBatch);
  for (std::size_t& size : sizes) size = 16 + random() % 1009;
  constexpr int kRounds = 200;
  double pelmark_total = 0, malloc_total = 0;
  time_batches<Pelmark>(sizes, 10);
  time_batches<Malloc>(sizes, 10);
  for (auto _ : state) {
    const double p = time_batches<Pelmark>(sizes, kRounds);
    malloc_total += time_batches<Malloc>(sizes, kRounds);
    pelmark_total += p;
    state.SetIterationTime(p);
  }
  report(state, pelmark_total, malloc_total, double(state.iterations()) * kRounds * kBatch);
}
BENCHMARK(mixed_sizes)->UseManualTime();

void producer_consumer(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  constexpr int kCount = 200000;
  double pelmark_total = 0, malloc_total = 0;
  for (auto _ : state) {
    const double p = time_producer_consumer<Pelmark>(size, kCount);
    malloc_total += time_producer_consumer<Malloc>(size, kCount);
    pelmark_total += p;
    state.SetIterationTime(p);
  }
  report(state, pelmark_total, malloc_total, double(state.iterations()) * kCount);
}
BENCHMARK(producer_consumer)->Arg(64)->Arg(1024)->UseManualTime()->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
