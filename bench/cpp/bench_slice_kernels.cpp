// Slice kernels per processor tier: dot_slice, sum_slice (float32) and
// add_slice at a small length (stays in L1), a cache-sized one (fits L2) and
// a memory-sized one (past the last-level cache, above the 2^21-element
// streaming threshold). The peer is the compiler's own auto-vectorised loop
// for the same operation at -O3 baseline flags, run in the same process.
//
//   build/<dir>/bench/cpp/bench_slice_kernels --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <numeric>
#include <string>
#include <vector>

#include "platform/processor_tier.h"
#include "kavo_ops/slice_kernels/dot_slice.h"
#include "kavo_ops/slice_kernels/elementwise_slice.h"
#include "platform/processor_tier_override.h"
#include "kavo_ops/slice_kernels/sum_slice.h"

namespace {

using platform::Tier;

constexpr std::int64_t small_len = 1 << 10;        // 4 KiB per operand
constexpr std::int64_t cache_len = 1 << 15;        // 128 KiB per operand
constexpr std::int64_t memory_len = 1 << 23;       // 32 MiB per operand

// Runs `body` under `tier`, or reports the tier as unavailable.
template <class Body>
void under_tier(benchmark::State& state, Tier tier, Body body) {
  if (!platform::tier_supported(tier)) {
    state.SkipWithError("tier not supported on this machine");
    return;
  }
  platform::force_tier(tier);
  body();
  platform::force_tier(std::nullopt);
}

std::vector<float> filled(std::int64_t n, float start) {
  std::vector<float> v(static_cast<std::size_t>(n));
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = start + static_cast<float>(i % 97) * 0.01f;
  return v;
}

void set_bytes(benchmark::State& state, std::int64_t bytes_per_iteration) {
  state.SetBytesProcessed(state.iterations() * bytes_per_iteration);
}

void BM_dot_slice(benchmark::State& state, Tier tier) {
  const std::int64_t n = state.range(0);
  const auto a = filled(n, 1.0f), b = filled(n, 0.5f);
  under_tier(state, tier, [&] {
    for (auto _ : state) benchmark::DoNotOptimize(kavo_ops::dot_slice(std::span<const float>(a), b));
  });
  set_bytes(state, 2 * n * std::int64_t{sizeof(float)});
}

void BM_sum_slice(benchmark::State& state, Tier tier) {
  const std::int64_t n = state.range(0);
  const auto x = filled(n, 1.0f);
  under_tier(state, tier, [&] {
    for (auto _ : state) benchmark::DoNotOptimize(kavo_ops::sum_slice(x));
  });
  set_bytes(state, n * std::int64_t{sizeof(float)});
}

void BM_add_slice(benchmark::State& state, Tier tier) {
  const std::int64_t n = state.range(0);
  const auto a = filled(n, 1.0f), b = filled(n, 0.5f);
  std::vector<float> out(static_cast<std::size_t>(n));
  under_tier(state, tier, [&] {
    for (auto _ : state) {
      kavo_ops::add_slice(a, b, out);
      benchmark::ClobberMemory();
    }
  });
  set_bytes(state, 3 * n * std::int64_t{sizeof(float)});
}

// Peers: plain loops the compiler vectorises with baseline SSE2.
void BM_dot_loop(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  const auto a = filled(n, 1.0f), b = filled(n, 0.5f);
  for (auto _ : state) benchmark::DoNotOptimize(std::inner_product(a.begin(), a.end(), b.begin(), 0.0f));
  set_bytes(state, 2 * n * std::int64_t{sizeof(float)});
}

void BM_sum_loop(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  const auto x = filled(n, 1.0f);
  for (auto _ : state) benchmark::DoNotOptimize(std::accumulate(x.begin(), x.end(), 0.0f));
  set_bytes(state, n * std::int64_t{sizeof(float)});
}

void BM_add_loop(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  const auto a = filled(n, 1.0f), b = filled(n, 0.5f);
  std::vector<float> out(static_cast<std::size_t>(n));
  for (auto _ : state) {
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = a[i] + b[i];
    benchmark::ClobberMemory();
  }
  set_bytes(state, 3 * n * std::int64_t{sizeof(float)});
}

void lengths(benchmark::internal::Benchmark* b) { b->Arg(small_len)->Arg(cache_len)->Arg(memory_len); }

#define KAVO_TIER_BENCH(fn)                                        \
  BENCHMARK_CAPTURE(fn, tier_a, Tier::A)->Apply(lengths);          \
  BENCHMARK_CAPTURE(fn, tier_b, Tier::B)->Apply(lengths);          \
  BENCHMARK_CAPTURE(fn, tier_c, Tier::C)->Apply(lengths)

KAVO_TIER_BENCH(BM_dot_slice);
BENCHMARK(BM_dot_loop)->Apply(lengths);
KAVO_TIER_BENCH(BM_sum_slice);
BENCHMARK(BM_sum_loop)->Apply(lengths);
KAVO_TIER_BENCH(BM_add_slice);
BENCHMARK(BM_add_loop)->Apply(lengths);

}  // namespace

BENCHMARK_MAIN();
