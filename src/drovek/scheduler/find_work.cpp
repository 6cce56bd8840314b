#include "drovek/scheduler/find_work.h"

#include "drovek/scheduler/steal.h"
#include "drovek/scheduler/thread_state.h"

namespace drovek {

std::optional<Job> steal_from_others(SchedulerCore& core, std::size_t thief, VictimScope scope) {
  const std::size_t workers = core.worker_count();
  const std::optional<std::uint64_t>& own_node = core.numa_table[thief];
  if (scope == VictimScope::SameNode && !own_node) return std::nullopt;
  WorkerQueues& own = core.worker(thief).queues;
  const std::size_t start = static_cast<std::size_t>(next_victim_random() % workers);
  for (std::size_t k = 0; k < workers; ++k) {
    const std::size_t victim = (start + k) % workers;
    if (victim == thief) continue;
    if (scope == VictimScope::SameNode && core.numa_table[victim] != own_node) continue;
    WorkerRecord& record = core.worker(victim);
    if (std::optional<Job> job = steal(own, record.queues)) return job;
    if (std::optional<Job> job = record.handoff.take_as_thief()) return job;
  }
  return std::nullopt;
}

bool has_visible_work(SchedulerCore& core, std::size_t index) noexcept {
  WorkerRecord& record = core.worker(index);
  return record.queues.pending().load(std::memory_order_seq_cst) != 0 || record.handoff.full();
}

}  // namespace drovek
