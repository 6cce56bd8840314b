#pragma once
// Waiting for the outstanding count of one parallel call to reach zero.

#include <atomic>
#include <cstdint>

#include "drovek/scheduler/scheduler_core.h"

namespace drovek {

// A worker of `core` keeps running other jobs meanwhile (its own handoff
// job, its own queues, then stealing from a random start), sleeping on the
// completion signal for at most 1 ms after 64 rounds without work. Any other
// thread spins up to 131072 pause-separated reads, then sleeps on the
// completion signal until the count is 0. Notifiers must lower the count to
// 0 under the completion signal's mutex and then notify.
void wait_helping(SchedulerCore& core, const std::atomic<std::uint64_t>& outstanding);

}  // namespace drovek
