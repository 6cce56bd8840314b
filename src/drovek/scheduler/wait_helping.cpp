#include "drovek/scheduler/wait_helping.h"

#include <chrono>

#include "drovek/scheduler/find_work.h"
#include "drovek/scheduler/run_job.h"
#include "drovek/scheduler/steal.h"
#include "drovek/scheduler/thread_state.h"
#include "drovek/scheduler/tuning.h"
#include "platform/cpu_pause.h"

namespace drovek {
namespace {

bool done(const std::atomic<std::uint64_t>& outstanding) noexcept {
  return outstanding.load(std::memory_order_seq_cst) == 0;
}

// Sleeps on the completion signal unless the count is already 0; the check
// and the word read happen under the mutex that notifiers hold while they
// lower the count to 0 and bump the word.
template <class Sleep>
void sleep_unless_done(SchedulerCore& core, const std::atomic<std::uint64_t>& outstanding, Sleep sleep) {
  std::uint32_t observed = 0;
  {
    std::lock_guard lock(core.completion.mutex);
    if (done(outstanding)) return;
    observed = core.completion.prepare_wait_locked();
  }
  sleep(observed);
}

std::optional<Job> find_helping_job(SchedulerCore& core, std::size_t self) {
  WorkerRecord& record = core.worker(self);
  if (std::optional<Job> job = record.handoff.take_as_owner()) return job;
  if (std::optional<Job> job = pop_local(record.queues)) return job;
  return steal_from_others(core, self, VictimScope::AnyNode);
}

void wait_as_worker(SchedulerCore& core, std::size_t self, const std::atomic<std::uint64_t>& outstanding) {
  std::uint32_t idle_rounds = 0;
  while (!done(outstanding)) {
    if (std::optional<Job> job = find_helping_job(core, self)) {
      run_job(core, *job, self);
      idle_rounds = 0;
      continue;
    }
    if (++idle_rounds >= kHelpingIdleRounds) {
      idle_rounds = 0;
      sleep_unless_done(core, outstanding,
                        [&](std::uint32_t observed) { core.completion.wait_for_ms(observed, kHelpingSleepMs); });
    }
  }
}

// Spins briefly, then sleeps: by now the caller has taken back every task no
// worker had started (see drive()), so what remains is running elsewhere.
void wait_as_outsider(SchedulerCore& core, const std::atomic<std::uint64_t>& outstanding) {
  const auto deadline = std::chrono::steady_clock::now() + kCallerSpinTime;
  for (std::uint32_t round = 0;; ++round) {
    if (done(outstanding)) return;
    platform::cpu_pause();
    if (round % kSpinClockInterval == kSpinClockInterval - 1 && std::chrono::steady_clock::now() >= deadline) break;
  }
  while (!done(outstanding)) {
    sleep_unless_done(core, outstanding, [&](std::uint32_t observed) { core.completion.wait(observed); });
  }
}

}  // namespace

void wait_helping(SchedulerCore& core, const std::atomic<std::uint64_t>& outstanding) {
  const ThreadState& state = this_thread_state();
  if (state.is_worker_of(core)) {
    wait_as_worker(core, state.worker_index, outstanding);
  } else {
    wait_as_outsider(core, outstanding);
  }
}

}  // namespace drovek
