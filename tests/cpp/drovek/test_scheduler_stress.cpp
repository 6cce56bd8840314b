// Bounded stress of the whole scheduler: concurrent submitters, jobs that
// submit from workers (handoff slot and own ring), parallel calls from
// several threads, and pools of 1 to 8 workers on this small machine. Every
// job must run exactly once. Run under ThreadSanitizer as well.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "drovek/parallel/parallel_call.h"
#include "drovek/scheduler/quiescence.h"
#include "drovek/scheduler/submit.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::JobLedger;
using testing_support::make_executor;
using testing_support::small_config;

#if defined(__SANITIZE_THREAD__)
constexpr std::size_t kScale = 4;  // ThreadSanitizer is several times slower
#else
constexpr std::size_t kScale = 1;
#endif

// A job that, for every 4th id, submits a child with id + half from the
// worker running it.
struct SpawningPayload {
  SchedulerCore* core;
  JobLedger* ledger;
  std::size_t id;
  std::size_t half;
};

Job spawning_job(SchedulerCore& core, JobLedger& ledger, std::size_t id, std::size_t half);

bool run_spawning(Job& job, std::size_t) {
  SpawningPayload p = job_payload<SpawningPayload>(job);
  p.ledger->runs[p.id].fetch_add(1);
  if (p.id < p.half && p.id % 4 == 0) {
    // Refused only when the ring is full; retrying from a worker is fine
    // here because other workers keep draining.
    const std::size_t child = p.id + p.half;
    testing_support::submit_until_admitted(*p.core, *p.ledger, child, testing_support::ledger_job(*p.ledger, child));
  }
  return true;
}

Job spawning_job(SchedulerCore& core, JobLedger& ledger, std::size_t id, std::size_t half) {
  return make_job(SpawningPayload{&core, &ledger, id, half}, &run_spawning, [](Job& job) noexcept {
    auto& p = job_payload<SpawningPayload>(job);
    p.ledger->releases[p.id].fetch_add(1);
  });
}

TEST(SchedulerStressTest, ConcurrentSubmittersAndSpawningJobsRunEveryJobOnce) {
  constexpr std::size_t kSubmitters = 3;
  const std::size_t per_submitter = 400'000 / kScale;
  const std::size_t half = kSubmitters * per_submitter;
  // Small rings and deques: admission refusals, deque growth and shrinking
  // all happen many times.
  Executor executor = make_executor(small_config(4, 64, 16));
  SchedulerCore& core = executor.scheduler();
  JobLedger ledger(2 * half);
  std::vector<std::thread> submitters;
  for (std::size_t s = 0; s < kSubmitters; ++s) {
    submitters.emplace_back([&, s] {
      for (std::size_t k = 0; k < per_submitter; ++k) {
        const std::size_t id = s * per_submitter + k;
        testing_support::submit_until_admitted(core, ledger, id, spawning_job(core, ledger, id, half));
      }
    });
  }
  for (auto& t : submitters) t.join();
  wait_until_quiescent(core);
  // Ids at or above `half` that no parent spawned are unused.
  for (std::size_t id = half; id < 2 * half; ++id) {
    if ((id - half) % 4 != 0) ledger.runs[id].store(1);
  }
  EXPECT_TRUE(ledger.each_ran_once());
  EXPECT_EQ(core.failed.value.load(), 0u);
}

TEST(SchedulerStressTest, ParallelCallsFromSeveralThreadsCoverEveryPieceOnce) {
  Executor executor = make_executor(small_config(4, 64, 16));
  testing_support::CountingSource source{&executor};
  constexpr std::size_t kCallers = 3;
  const std::size_t calls_per_caller = 4000 / kScale;
  std::atomic<std::size_t> pieces_run{0};
  std::atomic<std::size_t> bad_calls{0};
  std::vector<std::thread> callers;
  for (std::size_t c = 0; c < kCallers; ++c) {
    callers.emplace_back([&, c] {
      std::vector<std::atomic<std::uint8_t>> hits(97);
      for (std::size_t k = 0; k < calls_per_caller; ++k) {
        const std::size_t n = 1 + (k * 31 + c) % hits.size();
        for (std::size_t i = 0; i < n; ++i) hits[i].store(0, std::memory_order_relaxed);
        auto piece = [&](std::size_t i) {
          hits[i].fetch_add(1);
          pieces_run.fetch_add(1, std::memory_order_relaxed);
        };
        for_each_index_on(source.source(), n, &piece,
                          [](void* f, std::size_t i) { (*static_cast<decltype(piece)*>(f))(i); });
        for (std::size_t i = 0; i < n; ++i) {
          if (hits[i].load() != 1) bad_calls.fetch_add(1);
        }
      }
    });
  }
  for (auto& t : callers) t.join();
  EXPECT_EQ(bad_calls.load(), 0u);
  EXPECT_GT(pieces_run.load(), kCallers * calls_per_caller);
}

TEST(SchedulerStressTest, PoolsOfOneToEightWorkersRunEveryJobOnce) {
  for (std::uint64_t workers = 1; workers <= 8; ++workers) {
    SCOPED_TRACE(::testing::Message() << workers << " workers");
    const std::size_t jobs = 40'000 / kScale;
    Executor executor = make_executor(small_config(workers, 64 * workers, 16));
    SchedulerCore& core = executor.scheduler();
    JobLedger ledger(2 * jobs);
    std::thread second_submitter([&] {
      for (std::size_t id = jobs / 2; id < jobs; ++id) {
        testing_support::submit_until_admitted(core, ledger, id, spawning_job(core, ledger, id, jobs));
      }
    });
    for (std::size_t id = 0; id < jobs / 2; ++id) {
      testing_support::submit_until_admitted(core, ledger, id, spawning_job(core, ledger, id, jobs));
    }
    second_submitter.join();
    wait_until_quiescent(core);
    for (std::size_t id = jobs; id < 2 * jobs; ++id) {
      if ((id - jobs) % 4 != 0) ledger.runs[id].store(1);
    }
    EXPECT_TRUE(ledger.each_ran_once());
  }
}

}  // namespace
}  // namespace drovek
