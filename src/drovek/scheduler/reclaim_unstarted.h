#pragma once
// Taking back a job that no worker has started, for a thread that is not a
// worker: a caller that has finished its own share of a parallel call runs
// its still-queued tasks itself instead of waiting for a worker to wake up
// and reach them. A woken worker can sit queued behind the caller on the
// caller's core for milliseconds; running the task here costs nothing
// extra, since the caller would only have waited.

#include <optional>

#include "drovek/scheduler/job.h"
#include "drovek/scheduler/scheduler_core.h"

namespace drovek {

// One job from any worker's ring, deques (one job, never a batch: the caller
// has no queues to keep the rest) or handoff slot, with that worker's
// `pending` lowered; nothing when no job is queued. The job counts as queued
// until it is run through run_job.
std::optional<Job> reclaim_unstarted(SchedulerCore& core) noexcept;

}  // namespace drovek
