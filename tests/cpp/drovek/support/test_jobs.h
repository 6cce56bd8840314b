#pragma once
// Jobs and executors for scheduler tests: jobs that record how often they
// were run and released, gates that hold a worker busy, and executors built
// apart from the process-wide one.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "drovek/executor/executor.h"
#include "drovek/parallel/parallel_call.h"
#include "drovek/scheduler/job.h"
#include "drovek/scheduler/submit.h"
#include "platform/invariant_failure.h"
#include "platform/thread_yield.h"

namespace drovek {

inline void PrintTo(const ExecutorError& error, std::ostream* out) { *out << debug(error); }

namespace testing_support {

// Per-id run and release counts.
struct JobLedger {
  explicit JobLedger(std::size_t jobs) : runs(jobs), releases(jobs) {}
  std::vector<std::atomic<std::uint32_t>> runs;
  std::vector<std::atomic<std::uint32_t>> releases;

  // Every job ran exactly once and was never released; names the first
  // that did not.
  ::testing::AssertionResult each_ran_once() const {
    for (std::size_t id = 0; id < runs.size(); ++id) {
      const auto r = runs[id].load();
      const auto d = releases[id].load();
      if (r != 1 || d != 0) {
        return ::testing::AssertionFailure() << "job " << id << " ran " << r << " times, released " << d;
      }
    }
    return ::testing::AssertionSuccess();
  }
};

struct LedgerPayload {
  JobLedger* ledger;
  std::size_t id;
};

inline Job ledger_job(JobLedger& ledger, std::size_t id) {
  return make_job(
      LedgerPayload{&ledger, id},
      [](Job& job, std::size_t) {
        auto& p = job_payload<LedgerPayload>(job);
        p.ledger->runs[p.id].fetch_add(1);
        return true;
      },
      [](Job& job) noexcept {
        auto& p = job_payload<LedgerPayload>(job);
        p.ledger->releases[p.id].fetch_add(1);
      });
}

inline std::size_t ledger_id(Job& job) { return job_payload<LedgerPayload>(job).id; }

// Submits until admitted. Each refusal discards the job through its release
// operation, which is expected here, so the ledger does not keep it.
inline void submit_until_admitted(SchedulerCore& core, JobLedger& ledger, std::size_t id, const Job& job) {
  while (!submit(core, job)) {
    ledger.releases[id].fetch_sub(1);
    platform::yield_thread();
  }
}

// A job that holds its worker until opened.
struct Gate {
  std::atomic<bool> open{false};
  std::atomic<bool> entered{false};
  std::atomic<bool> finished{false};

  void wait_entered() const {
    while (!entered.load()) platform::yield_thread();
  }
  void release() { open.store(true); }
};

inline Job gate_job(Gate& gate) {
  return make_job(
      &gate,
      [](Job& job, std::size_t) {
        Gate& g = *job_payload<Gate*>(job);
        g.entered.store(true);
        while (!g.open.load()) platform::yield_thread();
        g.finished.store(true);
        return true;
      },
      [](Job&) noexcept {});
}

inline ExecutorConfig small_config(std::uint64_t workers, std::uint64_t admission_total = 8192,
                                   std::uint64_t local_capacity = 128) {
  ExecutorConfig config;
  config.worker_count = workers;
  config.admission_capacity_total = admission_total;
  config.local_queue_initial_capacity = local_capacity;
  return config;
}

inline Executor make_executor(const ExecutorConfig& config) {
  auto created = Executor::create(config);
  if (!created) {
    ADD_FAILURE() << "executor construction failed: " << debug(created.error());
    std::abort();
  }
  return std::move(*created);
}

inline Executor make_executor(std::uint64_t workers) { return make_executor(small_config(workers)); }

// A source that hands out `executor` and counts how often it was asked.
struct CountingSource {
  const Executor* executor = nullptr;
  std::atomic<int> requests{0};

  ExecutorSource source() {
    return {[](void* state) -> const Executor& {
              auto& self = *static_cast<CountingSource*>(state);
              self.requests.fetch_add(1);
              return *self.executor;
            },
            this};
  }
};

}  // namespace testing_support
}  // namespace drovek
