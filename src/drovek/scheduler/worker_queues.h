#pragma once
// WorkerQueues: one worker's admission ring and its four work deques, one
// per priority class (popped and stolen from class 3 down to class 0).

#include <array>
#include <cstdint>

#include "drovek/scheduler/admission_ring.h"
#include "drovek/scheduler/tuning.h"
#include "drovek/scheduler/work_deque.h"

namespace drovek {

// Deques of classes 0, 2 and 3 start this small; class 1, which
// parallel-for tasks use, starts at the configured local capacity.
inline constexpr std::uint64_t kSecondaryDequeCapacity = 16;

struct alignas(kIsolationBytes) WorkerQueues {
  WorkerQueues(std::uint64_t admission_capacity, std::uint64_t local_capacity)
      : ring(admission_capacity),
        deques{{WorkDeque(kSecondaryDequeCapacity), WorkDeque(local_capacity), WorkDeque(kSecondaryDequeCapacity),
                WorkDeque(kSecondaryDequeCapacity)}} {}

  std::atomic<std::uint64_t>& pending() noexcept { return ring.pending(); }

  AdmissionRing ring;
  std::array<WorkDeque, kPriorityClasses> deques;
};

}  // namespace drovek
