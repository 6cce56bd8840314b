#pragma once
// Taking work out of worker queues: the owner's pop_local and a thief's
// batched steal.

#include <optional>

#include "drovek/scheduler/job.h"
#include "drovek/scheduler/worker_queues.h"

namespace drovek {

// Owner of `own` only. Pops deques from class 3 down to class 0; when all are
// empty, moves every ring entry into the deque of its class and pops again.
// Nothing when `pending` is 0. A job found lowers `pending` by one.
std::optional<Job> pop_local(WorkerQueues& own);

// Owner of `thief` only. Nothing when the victim's `pending` is 0. Otherwise
// takes a batch of up to 16 jobs from the victim's highest non-empty deque
// (class 3 down to 0), or else from its ring: the first is returned, the rest
// go to the thief's own deques of their class. `pending` moves with the jobs.
std::optional<Job> steal(WorkerQueues& thief, WorkerQueues& victim);

}  // namespace drovek
