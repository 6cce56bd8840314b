#include "drovek/scheduler/submit.h"

#include <string>

#include "drovek/scheduler/thread_state.h"
#include "platform/invariant_failure.h"

namespace drovek {

std::size_t choose_target(SchedulerCore& core) {
  const std::size_t workers = core.worker_count();
  if (workers == 0) platform::fail_invariant("attempt to calculate the remainder with a divisor of zero");
  std::uint64_t n = 1;
  if (core.queued.value.load(std::memory_order_seq_cst) != 0 ||
      core.running.value.load(std::memory_order_seq_cst) >= 2) {
    n = ++this_thread_state().round_robin;
  }
  return static_cast<std::size_t>(n % workers);
}

void wake_after_admission(SchedulerCore& core, std::size_t target, std::uint64_t previous) {
  const std::size_t workers = core.worker_count();
  // A spinning worker probes the rings and takes the job within a few
  // microseconds. Waking a parked one beside it would make one runnable
  // thread more than there are idle cores, and the kernel may then queue the
  // woken worker behind the caller on the caller's own core. The queued
  // counter was raised before this load, so a spinner that gives up after
  // it still sees the job before it parks.
  if (core.spinning.value.load(std::memory_order_seq_cst) != 0) return;
  // The target itself when it is parked: it pops the job from its own ring
  // instead of another worker waking to steal it while the target sleeps on.
  if (core.idle_bitmap.claim(target)) {
    core.unpark(target);
    return;
  }
  if (auto idle = core.idle_bitmap.claim_lowest()) {
    core.unpark(*idle);
    return;
  }
  // Nobody advertised idleness: nudge the target, and with jobs already
  // queued spread a second wake-up so that backlogs get a thief.
  const std::size_t spread = static_cast<std::size_t>((target + previous % workers) % workers);
  if (previous == 0) {
    core.unpark(target);
  } else if (previous >= workers) {
    core.unpark(spread);
  } else {
    core.unpark(target);
    core.unpark(spread);
  }
}

std::expected<void, ExecutorError> submit(SchedulerCore& core, const Job& job, std::uint8_t priority_class) {
  if (priority_class >= kPriorityClasses) {
    Job discarded = job;
    release_job(discarded);
    platform::fail_invariant("index out of bounds: the len is 4 but the index is " + std::to_string(priority_class));
  }
  const std::size_t target = choose_target(core);
  const std::uint64_t previous = core.queued.value.fetch_add(1, std::memory_order_seq_cst);
  if (core.is_shutting_down()) {
    core.queued.value.fetch_sub(1, std::memory_order_seq_cst);
    Job discarded = job;
    release_job(discarded);
    return std::unexpected(ExecutorError::ShuttingDown{});
  }
  if (!job.occupied()) {
    core.queued.value.fetch_sub(1, std::memory_order_seq_cst);
    platform::fail_invariant("invariant: job is present before admission");
  }
  WorkerRecord& record = core.worker(target);
  const ThreadState& state = this_thread_state();
  bool admitted = false;
  if (state.is_worker_of(core) && state.worker_index == target) {
    admitted = record.handoff.try_put(job) || record.queues.ring.try_push(priority_class, job);
  } else {
    admitted = record.queues.ring.try_push(priority_class, job);
  }
  if (!admitted) {
    core.queued.value.fetch_sub(1, std::memory_order_seq_cst);
    Job discarded = job;
    release_job(discarded);
    return std::unexpected(ExecutorError::ResourceExhausted{"worker " + std::to_string(target) +
                                                            " scheduler admission queue is full"});
  }
  wake_after_admission(core, target, previous);
  return {};
}

}  // namespace drovek
