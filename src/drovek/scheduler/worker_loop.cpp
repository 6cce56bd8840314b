#include "drovek/scheduler/worker_loop.h"

#include <chrono>

#include "drovek/scheduler/find_work.h"
#include "drovek/scheduler/run_job.h"
#include "drovek/scheduler/steal.h"
#include "drovek/scheduler/thread_state.h"
#include "drovek/scheduler/tuning.h"
#include "pelmark/allocator.h"
#include "platform/cpu_pause.h"
#include "platform/processor_steering.h"

namespace drovek {
namespace {

bool leaving(const SchedulerCore& core) noexcept {
  return core.is_shutting_down() && core.queued.value.load(std::memory_order_seq_cst) == 0;
}

std::optional<Job> find_job(SchedulerCore& core, std::size_t self) {
  WorkerRecord& record = core.worker(self);
  if (std::optional<Job> job = record.handoff.take_as_owner()) return job;
  if (std::optional<Job> job = pop_local(record.queues)) return job;
  if (std::optional<Job> job = steal_from_others(core, self, VictimScope::SameNode)) return job;
  return steal_from_others(core, self, VictimScope::AnyNode);
}

// True when work (or shutdown) showed up while spinning. The worker counts
// itself in `spinning` meanwhile, so that submitters leave the job to it.
bool spin_for_work(SchedulerCore& core, std::size_t self) {
  const std::size_t workers = core.worker_count();
  WorkerRecord& record = core.worker(self);
  core.spinning.value.fetch_add(1, std::memory_order_seq_cst);
  const auto deadline = std::chrono::steady_clock::now() + kSpinTime;
  bool found = false;
  for (std::uint32_t round = 0; !found; ++round) {
    platform::cpu_pause();
    if (record.queues.pending().load(std::memory_order_seq_cst) != 0 || record.handoff.full() || leaving(core)) {
      found = true;
    } else if (round % kSpinProbeInterval == 0 && workers > 1) {
      const std::size_t start = static_cast<std::size_t>(next_victim_random() % workers);
      std::uint32_t probed = 0;
      for (std::size_t k = 0; k < workers && probed < kSpinProbeWorkers && !found; ++k) {
        const std::size_t other = (start + k) % workers;
        if (other == self) continue;
        ++probed;
        found = has_visible_work(core, other);
      }
    }
    if (!found && round % kSpinClockInterval == kSpinClockInterval - 1 &&
        std::chrono::steady_clock::now() >= deadline) {
      break;
    }
  }
  // Lowered before the idle bit is set (park_while_idle): a submitter that
  // still counted us left the job to us, and we see it queued before parking.
  core.spinning.value.fetch_sub(1, std::memory_order_seq_cst);
  return found;
}

// A worker that just came out of spinning or parking with a job wakes one
// more when other jobs are still queued and nobody spins: submitters wake at
// most one worker per job they see unclaimed, and leave jobs to spinners.
void wake_another_for_backlog(SchedulerCore& core) {
  if (core.queued.value.load(std::memory_order_seq_cst) <= 1) return;
  if (core.spinning.value.load(std::memory_order_seq_cst) != 0) return;
  if (auto idle = core.idle_bitmap.claim_lowest()) core.unpark(*idle);
}

void idle_work(SchedulerCore& core, std::size_t self) {
  ThreadState& state = this_thread_state();
  const auto now = std::chrono::steady_clock::now();
  if (!state.collected_before || now - state.last_collection >= kCollectionInterval) {
    state.collected_before = true;
    state.last_collection = now;
    // Does nothing on a thread that never allocated through pelmark.
    pelmark::collect();
  }
  for (WorkDeque& deque : core.worker(self).queues.deques) deque.shrink();
  // Moved off a caller's processor for a call (see parallel_call.cpp): free
  // again while idle, so the next wake-up may place it anywhere.
  platform::end_current_thread_steering();
}

// Advertise idleness, then park while nothing is queued. The idle bit is set
// (sequentially consistent) before queued is read, and a submitter raises
// queued before it scans the bits, so either we see its job or it sees our
// bit and unparks us; an unpark before our park is kept in the token.
void park_while_idle(SchedulerCore& core, std::size_t self) {
  WorkerRecord& record = core.worker(self);
  core.idle_bitmap.set(self);
  while (core.queued.value.load(std::memory_order_seq_cst) == 0 && !core.is_shutting_down()) {
    record.parker.park();
    core.idle_bitmap.set(self);
  }
  core.idle_bitmap.clear(self);
}

}  // namespace

void run_worker(WorkerStart start) {
  SchedulerCore& core = *start.core;
  const std::size_t self = start.index;
  WorkerRecord& record = core.worker(self);
  ThreadState& state = this_thread_state();
  state.worker_of = &core;
  state.worker_index = self;
  record.parker_registered.store(true, std::memory_order_release);

  if (start.planned_processor) {
    std::expected<void, ThreadBindError> bound = start.binder(*start.planned_processor);
    record.placement.publish(bound ? std::nullopt : std::optional<ThreadBindError>(bound.error()));
    if (!bound) {
      state.worker_of = nullptr;
      return;
    }
  }

  bool searching = false;  // back from spinning or parking
  for (;;) {
    if (leaving(core)) break;
    if (std::optional<Job> job = find_job(core, self)) {
      if (searching) wake_another_for_backlog(core);
      searching = false;
      run_job(core, *job, self);
      continue;
    }
    searching = true;
    if (spin_for_work(core, self)) continue;
    idle_work(core, self);
    park_while_idle(core, self);
  }
  state.worker_of = nullptr;
}

}  // namespace drovek
