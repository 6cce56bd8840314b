#pragma once
// The body of a worker thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "drovek/placement/thread_binder.h"
#include "drovek/scheduler/scheduler_core.h"

namespace drovek {

struct WorkerStart {
  std::shared_ptr<SchedulerCore> core;
  std::size_t index = 0;
  // Present when pinning: the processor to bind to, and how.
  std::optional<std::uint32_t> planned_processor;
  ThreadBinder binder;
};

// Marks the thread as worker `index`, registers its parker, binds it when
// pinning (publishing the outcome; a failed binding ends the thread), then
// loops: own handoff job, own queues, same-node stealing, any stealing,
// spinning, idle work, parking. Ends once the scheduler shuts down with
// nothing queued.
void run_worker(WorkerStart start);

}  // namespace drovek
