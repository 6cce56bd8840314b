// Parallel-for cost against OpenMP `parallel for` and a single thread, on
// the same loops in the same run:
//   overhead_empty  64 empty pieces       -- pure per-call cost
//   overhead_small  1024 tiny pieces      -- per-call cost with a few ns of work per piece
//                                           (one indirect call per index: the interface's price)
//   small_ranges    4096 f32 triad in 4 ranges of 1024 -- a small loop in the shape kernels use
//   memory_triad    y = a*x + y, 8M f32   -- memory-bound (96 MiB of traffic per call)
//   compute_poly    64-step polynomial per element, 1M f32 -- compute-bound
// Each case runs as <case>/drovek, /drovek_fitted, /openmp and /single; the
// table printed at the end gives drovek/openmp and drovek/single time ratios
// (below 1: drovek is faster), and drovek_fitted/openmp for an executor
// sized so that its tasks fit the processors. drovek uses the process-wide executor (one
// worker per logical processor, plus the calling thread); OpenMP its default
// team (one thread per logical processor).

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "drovek/executor/global_executor.h"
#include "drovek/parallel/parallel_call.h"
#include "drovek/parallel/parallel_for.h"

namespace {

constexpr std::size_t kEmptyPieces = 64;
constexpr std::size_t kSmallPieces = 1024;
constexpr std::size_t kSmallRangeElements = 4096;
// Unit cost 64 gives a grain of 65536 / 64 = 1024 elements: four units.
constexpr std::size_t kSmallRangeCost = 64;
constexpr std::size_t kTriadElements = std::size_t{8} << 20;
constexpr std::size_t kPolyElements = std::size_t{1} << 20;
constexpr int kPolySteps = 64;
// The elementwise maps charge 12 cost units per element.
constexpr std::size_t kElementCost = 12;

enum class Runner { Drovek, DrovekFitted, OpenMp, Single };

// An executor with one worker fewer than the process-wide one (at least 1),
// so that its W + 1 tasks fit the processors exactly, as OpenMP's team does:
// separates the scheduler's own cost from oversubscription.
const drovek::Executor& fitted_executor() {
  static const drovek::Executor& executor = *new drovek::Executor([] {
    drovek::ExecutorConfig config = drovek::global_executor_config(drovek::global_executor().worker_count());
    config.worker_count = config.worker_count > 1 ? config.worker_count - 1 : 1;
    config.thread_name = "drovek-fitted";
    return drovek::create_global_executor(config);
  }());
  return executor;
}

drovek::ExecutorSource fitted_source() {
  return {[](void*) -> const drovek::Executor& { return fitted_executor(); }, nullptr};
}

// One out-of-line kernel per loop, shared by all three runners: otherwise
// each lambda instantiation is optimised (vectorised or not) on its own and
// the comparison measures code generation instead of scheduling.
__attribute__((noinline)) void triad_range(const float* x, float* y, std::size_t start, std::size_t length) {
  for (std::size_t i = start; i < start + length; ++i) y[i] = 0.5f * x[i] + y[i];
}

__attribute__((noinline)) void poly_range(const float* x, float* out, std::size_t start, std::size_t length) {
  for (std::size_t i = start; i < start + length; ++i) {
    float acc = 1.0f;
    for (int k = 0; k < kPolySteps; ++k) acc = acc * x[i] + 0.999f;
    out[i] = acc;
  }
}

template <class Body>
void run_indices(Runner runner, std::size_t n, Body body) {
  switch (runner) {
    case Runner::Drovek:
      drovek::for_each_index(n, body);
      break;
    case Runner::DrovekFitted:
      drovek::for_each_index_on(fitted_source(), n, &body,
                                [](void* c, std::size_t i) { (*static_cast<Body*>(c))(i); });
      break;
    case Runner::OpenMp:
#pragma omp parallel for schedule(static)
      for (std::size_t i = 0; i < n; ++i) body(i);
      break;
    case Runner::Single:
      for (std::size_t i = 0; i < n; ++i) body(i);
      break;
  }
}

// Element ranges [start, start + length) covering [0, n).
template <class Body>
void run_ranges(Runner runner, std::size_t n, std::size_t cost, Body body) {
  switch (runner) {
    case Runner::Drovek:
      drovek::for_each_unit_task_range(n, cost, body);
      break;
    case Runner::DrovekFitted:
      drovek::for_each_unit_task_range_on(fitted_source(), n, cost, &body,
                                          [](void* c, std::size_t s, std::size_t l) { (*static_cast<Body*>(c))(s, l); });
      break;
    case Runner::OpenMp:
#pragma omp parallel
    {
      const std::size_t threads = static_cast<std::size_t>(omp_get_num_threads());
      const std::size_t t = static_cast<std::size_t>(omp_get_thread_num());
      const std::size_t begin = n * t / threads, end = n * (t + 1) / threads;
      body(begin, end - begin);
    }
      break;
    case Runner::Single:
      body(0, n);
      break;
  }
}

void warm_up(Runner runner) {
  // Creates the executor / the OpenMP team outside the timed region.
  run_indices(runner, 16, [](std::size_t i) { benchmark::DoNotOptimize(i); });
}

void overhead_empty(benchmark::State& state, Runner runner) {
  warm_up(runner);
  for (auto _ : state) run_indices(runner, kEmptyPieces, [](std::size_t i) { benchmark::DoNotOptimize(i); });
}

void overhead_small(benchmark::State& state, Runner runner) {
  warm_up(runner);
  std::vector<float> data(kSmallPieces, 1.0f);
  float* d = data.data();
  for (auto _ : state) {
    run_indices(runner, kSmallPieces, [d](std::size_t i) { d[i] = d[i] * 1.0001f + 0.5f; });
    benchmark::ClobberMemory();
  }
}

void small_ranges(benchmark::State& state, Runner runner) {
  warm_up(runner);
  std::vector<float> x(kSmallRangeElements, 1.0f), y(kSmallRangeElements, 2.0f);
  float *xs = x.data(), *ys = y.data();
  for (auto _ : state) {
    run_ranges(runner, kSmallRangeElements, kSmallRangeCost,
               [xs, ys](std::size_t start, std::size_t length) { triad_range(xs, ys, start, length); });
    benchmark::ClobberMemory();
  }
}

void memory_triad(benchmark::State& state, Runner runner) {
  warm_up(runner);
  std::vector<float> x(kTriadElements, 1.0f), y(kTriadElements, 2.0f);
  float *xs = x.data(), *ys = y.data();
  for (auto _ : state) {
    run_ranges(runner, kTriadElements, kElementCost,
               [xs, ys](std::size_t start, std::size_t length) { triad_range(xs, ys, start, length); });
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTriadElements * 3 * sizeof(float)));
}

void compute_poly(benchmark::State& state, Runner runner) {
  warm_up(runner);
  std::vector<float> x(kPolyElements, 0.25f), out(kPolyElements);
  float *xs = x.data(), *os = out.data();
  for (auto _ : state) {
    run_ranges(runner, kPolyElements, kElementCost * kPolySteps,
               [xs, os](std::size_t start, std::size_t length) { poly_range(xs, os, start, length); });
    benchmark::ClobberMemory();
  }
}

void register_case(const char* name, void (*body)(benchmark::State&, Runner)) {
  const std::pair<const char*, Runner> runners[] = {
      {"drovek", Runner::Drovek},
      {"drovek_fitted", Runner::DrovekFitted},
      {"openmp", Runner::OpenMp},
      {"single", Runner::Single}};
  for (const auto& [runner_name, runner] : runners) {
    benchmark::RegisterBenchmark((std::string(name) + "/" + runner_name).c_str(), body, runner)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
  }
}

// Collects real time per benchmark for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void print_ratios() const {
    std::printf("\n%-16s %16s %16s %22s\n", "case", "drovek/openmp", "drovek/single", "drovek_fitted/openmp");
    for (const char* name : {"overhead_empty", "overhead_small", "small_ranges", "memory_triad", "compute_poly"}) {
      const std::string base(name);
      auto time = [&](const char* runner) {
        auto it = times_.find(base + "/" + runner + "/real_time");
        return it == times_.end() ? 0.0 : it->second;
      };
      const double drovek = time("drovek"), fitted = time("drovek_fitted"), openmp = time("openmp"),
                   single = time("single");
      if (drovek == 0.0 || fitted == 0.0 || openmp == 0.0 || single == 0.0) continue;
      std::printf("%-16s %16.2f %16.2f %22.2f\n", name, drovek / openmp, drovek / single, fitted / openmp);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  register_case("overhead_empty", overhead_empty);
  register_case("overhead_small", overhead_small);
  register_case("small_ranges", small_ranges);
  register_case("memory_triad", memory_triad);
  register_case("compute_poly", compute_poly);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("drovek workers: %llu, OpenMP threads: %d\n",
              static_cast<unsigned long long>(drovek::global_executor().worker_count()), omp_get_max_threads());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratios();
  benchmark::Shutdown();
  return 0;
}
