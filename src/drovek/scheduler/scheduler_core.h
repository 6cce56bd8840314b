#pragma once
// SchedulerCore: the shared state behind one executor, reference-counted
// between the executor handles and the worker threads. Every counter and
// flag sits alone on its own 128-byte line: submitters, workers and waiting
// callers all hit them.
//
// Counters are changed by sequentially consistent read-modify-writes:
//  - queued: +1 by submit (before the job becomes visible), -1 by run_job and
//    by a refused submission. Decides whether an idle worker may park: no
//    worker parks while any job is queued anywhere.
//  - running: +1/-1 around every run operation, by the running worker.
//  - completed / failed / inline_fallbacks: statistics, only ever raised.
//  - shutting_down: set once by shutdown().
//  - idle_waiters: threads inside wait_until_quiescent().
//  - spinning: workers in their spin phase (raised on entry, lowered on
//    leaving it by the worker itself). A submitter that sees a spinner wakes
//    nobody: the spinner finds the job within microseconds, and a parked
//    worker woken beside it would only compete for the cores (see submit).

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "drovek/scheduler/completion_signal.h"
#include "drovek/scheduler/idle_bitmap.h"
#include "drovek/scheduler/tuning.h"
#include "drovek/scheduler/worker_record.h"
#include "platform/threads.h"

namespace drovek {

struct alignas(kIsolationBytes) IsolatedCounter {
  std::atomic<std::uint64_t> value{0};
};

struct alignas(kIsolationBytes) IsolatedFlag {
  std::atomic<bool> value{false};
};

// When and how an executor was built; installed into its scheduler once.
struct ExecutorLifetime {
  std::chrono::steady_clock::time_point created;
  std::uint64_t worker_count = 0;
  std::uint64_t construction_nanoseconds = 0;  // saturating
};

struct alignas(kIsolationBytes) SchedulerCore {
  // `numa_nodes` has one entry per worker (all absent without pinning).
  SchedulerCore(std::vector<std::unique_ptr<WorkerRecord>> worker_records,
                std::vector<std::optional<std::uint64_t>> numa_nodes, std::string base_thread_name);
  ~SchedulerCore();
  SchedulerCore(const SchedulerCore&) = delete;
  SchedulerCore& operator=(const SchedulerCore&) = delete;

  std::size_t worker_count() const noexcept { return workers.size(); }
  WorkerRecord& worker(std::size_t index) noexcept { return *workers[index]; }
  bool is_shutting_down() const noexcept { return shutting_down.value.load(std::memory_order_seq_cst); }

  // Sets the token of a worker whose parker is registered (others are
  // skipped: they have not started and will look for work anyway).
  void unpark(std::size_t index) noexcept;

  // Installs the lifetime record; a second installation is an invariant
  // failure.
  void install_lifetime(std::shared_ptr<const ExecutorLifetime> record);
  std::shared_ptr<const ExecutorLifetime> lifetime() const;

  IsolatedCounter queued;
  IsolatedCounter running;
  // Never raised here; part of the quiescence test for callers that add
  // other kinds of activity.
  IsolatedCounter activity_blocked;
  IsolatedCounter activity_external;
  IsolatedCounter completed;
  IsolatedCounter failed;
  IsolatedCounter inline_fallbacks;
  IsolatedFlag shutting_down;
  IsolatedCounter idle_waiters;
  IsolatedCounter spinning;

  std::mutex thread_handles_mutex;
  std::vector<platform::ThreadHandle> thread_handles;  // guarded by thread_handles_mutex

  std::vector<std::unique_ptr<WorkerRecord>> workers;
  IdleBitmap idle_bitmap;
  std::vector<std::optional<std::uint64_t>> numa_table;
  std::string thread_name;
  CompletionSignal completion;

 private:
  mutable std::mutex lifetime_mutex_;
  std::shared_ptr<const ExecutorLifetime> lifetime_;  // guarded by lifetime_mutex_
};

// Stops the scheduler: sets shutting_down and, the first time, unparks every
// registered worker. Unless the caller is one of its workers, then takes the
// thread handles out under their mutex and joins every worker thread.
// Workers leave once nothing is queued.
void shutdown(SchedulerCore& core);

}  // namespace drovek
