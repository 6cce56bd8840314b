#pragma once
// WorkerRecord: what the scheduler keeps per worker. Only the worker writes
// its parker registration and placement outcome; everyone reaches its
// queues and handoff slot.

#include <atomic>
#include <cstdint>

#include "drovek/scheduler/handoff_slot.h"
#include "drovek/scheduler/parker.h"
#include "drovek/scheduler/placement_outcome.h"
#include "drovek/scheduler/worker_queues.h"

namespace drovek {

struct alignas(kIsolationBytes) WorkerRecord {
  WorkerRecord(std::uint64_t admission_capacity, std::uint64_t local_capacity)
      : queues(admission_capacity, local_capacity) {}

  // The parker lives here, not on the worker's stack, so a late unpark
  // after the worker has ended touches valid memory.
  Parker parker;
  // Set once (release) by the worker thread at start; wake-ups skip workers
  // whose parker is not yet registered.
  std::atomic<bool> parker_registered{false};
  WorkerQueues queues;
  HandoffSlot handoff;
  PlacementOutcome placement;
};

}  // namespace drovek
