#include "drovek/scheduler/reclaim_unstarted.h"

#include "drovek/scheduler/tuning.h"

namespace drovek {
namespace {

std::optional<Job> steal_one(WorkDeque& deque) noexcept {
  WorkDeque::ThiefSession session(deque);
  Job job;
  for (std::uint32_t retries = 0; retries < kStealRetriesBeforeYield; ++retries) {
    const StealOutcome outcome = session.attempt(job);
    if (outcome == StealOutcome::Success) return job;
    if (outcome == StealOutcome::Empty) return std::nullopt;
  }
  return std::nullopt;  // contended: the other side is taking jobs anyway
}

std::optional<Job> take_from(WorkerRecord& record) noexcept {
  WorkerQueues& queues = record.queues;
  if (queues.pending().load(std::memory_order_seq_cst) != 0) {
    std::optional<Job> job;
    if (std::optional<RingEntry> entry = queues.ring.try_pop()) {
      job = entry->job;
    } else {
      for (std::size_t c = kPriorityClasses; c-- > 0 && !job;) job = steal_one(queues.deques[c]);
    }
    if (job) {
      queues.pending().fetch_sub(1, std::memory_order_seq_cst);
      return job;
    }
  }
  if (record.handoff.full()) return record.handoff.take_as_thief();
  return std::nullopt;
}

}  // namespace

std::optional<Job> reclaim_unstarted(SchedulerCore& core) noexcept {
  if (core.queued.value.load(std::memory_order_seq_cst) == 0) return std::nullopt;
  for (std::size_t i = 0; i < core.worker_count(); ++i) {
    if (std::optional<Job> job = take_from(core.worker(i))) return job;
  }
  return std::nullopt;
}

}  // namespace drovek
