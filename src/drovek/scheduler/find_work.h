#pragma once
// Looking for a job outside the worker's own queues.

#include <cstddef>
#include <optional>

#include "drovek/scheduler/job.h"
#include "drovek/scheduler/scheduler_core.h"

namespace drovek {

enum class VictimScope { SameNode, AnyNode };

// Visits every other worker from a random start: steal(), then its handoff
// slot. With SameNode, only workers whose NUMA entry matches the thief's
// (nothing at all when the thief has none).
std::optional<Job> steal_from_others(SchedulerCore& core, std::size_t thief, VictimScope scope);

// Whether worker `index` visibly holds work (pending jobs or a full handoff).
bool has_visible_work(SchedulerCore& core, std::size_t index) noexcept;

}  // namespace drovek
