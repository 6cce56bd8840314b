#pragma once
// Submission: how a job enters the scheduler from any thread.

#include <cstdint>
#include <expected>

#include "drovek/error/executor_error.h"
#include "drovek/scheduler/job.h"
#include "drovek/scheduler/scheduler_core.h"

namespace drovek {

// Admits `job` (priority class 0-3) to one worker and wakes one or two
// workers. On any error the job has been discarded through its release
// operation: ShuttingDown, or ResourceExhausted("worker {} scheduler
// admission queue is full") when the target's ring is full.
std::expected<void, ExecutorError> submit(SchedulerCore& core, const Job& job,
                                          std::uint8_t priority_class = kParallelForPriority);

// The worker a submission goes to: worker 1 (worker 0 when alone) while the
// scheduler is quiet (nothing queued, fewer than two jobs running), else the
// next of the calling thread's round robin. Advances the round robin.
std::size_t choose_target(SchedulerCore& core);

// After an admission that raised queued from `previous`: wake the lowest idle
// worker, or else the target and/or a second worker spread by `previous`.
void wake_after_admission(SchedulerCore& core, std::size_t target, std::uint64_t previous);

}  // namespace drovek
