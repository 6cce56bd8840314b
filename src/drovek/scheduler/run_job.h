#pragma once
// Running one job on behalf of the scheduler, with its bookkeeping.

#include <cstddef>

#include "drovek/scheduler/job.h"
#include "drovek/scheduler/scheduler_core.h"

namespace drovek {

// running +1, queued -1, run operation (which owns the payload from here),
// completed or failed +1 by its result, running -1; the last job to stop
// running wakes quiescence waiters when nothing is queued or running.
void run_job(SchedulerCore& core, Job& job, std::size_t runner);

}  // namespace drovek
