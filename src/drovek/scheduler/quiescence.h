#pragma once
// Quiescence: nothing queued and nothing running. Waiting for it is not on
// any hot path; tests and shutdown-minded callers use it to drain a
// scheduler without tracking their jobs.

#include "drovek/scheduler/scheduler_core.h"

namespace drovek {

bool is_quiescent(const SchedulerCore& core) noexcept;

// Blocks until the scheduler is quiescent. Must not be called from one of its
// workers while a job runs there (it would wait for itself).
void wait_until_quiescent(SchedulerCore& core);

// Wakes quiescence waiters when the scheduler is quiescent (re-checked under
// the completion signal's mutex).
void notify_if_quiescent(SchedulerCore& core);

}  // namespace drovek
