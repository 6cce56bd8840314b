// The single-threaded gemm kernel (fyrel) per processor tier, float32 and
// float64, square n x n products, with GFLOP/s as a counter. This is where
// the tile table's k-block depths and the band size are re-measured: edit
// them in src/fyrel/gemm/, rebuild, and compare. The executor-level product
// (both cores, shared packed B) is measured against NumPy by
// bench/bench_products.py.
//
//   build/<dir>/bench/cpp/bench_gemm --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <vector>

#include "fyrel/gemm/gemm.h"
#include "platform/processor_tier.h"
#include "platform/processor_tier_override.h"

namespace {

using platform::Tier;

template <class T>
void BM_gemm(benchmark::State& state, Tier tier) {
  if (!platform::tier_supported(tier)) {
    state.SkipWithError("tier not supported on this machine");
    return;
  }
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<T> a(n * n), b(n * n), c(n * n);
  for (std::size_t i = 0; i < n * n; ++i) a[i] = T(i % 7) * T(0.1), b[i] = T(i % 5) * T(0.2);
  platform::force_tier(tier);
  for (auto _ : state) {
    fyrel::gemm(a.data(), a.size(), b.data(), b.size(), c.data(), c.size(), n, n, n);
    benchmark::ClobberMemory();
  }
  platform::force_tier(std::nullopt);
  state.counters["GFLOP/s"] =
      benchmark::Counter(2e-9 * double(n) * double(n) * double(n), benchmark::Counter::kIsIterationInvariantRate);
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int n : {64, 256, 1024, 2048}) b->Arg(n);
  b->Unit(benchmark::kMillisecond);
}

void BM_gemm_f32(benchmark::State& state, Tier tier) { BM_gemm<float>(state, tier); }
void BM_gemm_f64(benchmark::State& state, Tier tier) { BM_gemm<double>(state, tier); }

}  // namespace

BENCHMARK_CAPTURE(BM_gemm_f32, f32_tier_a, Tier::A)->Apply(sizes);
BENCHMARK_CAPTURE(BM_gemm_f32, f32_tier_b, Tier::B)->Apply(sizes);
BENCHMARK_CAPTURE(BM_gemm_f64, f64_tier_a, Tier::A)->Apply(sizes);
BENCHMARK_CAPTURE(BM_gemm_f64, f64_tier_b, Tier::B)->Apply(sizes);
BENCHMARK_CAPTURE(BM_gemm_f32, f32_tier_c, Tier::C)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
