#pragma once
// The operating-system services executor construction uses, as replaceable
// functions. Production uses the defaults; tests substitute a refusing thread
// spawner, a fabricated topology or a binder that refuses certain processors.

#include <cstddef>
#include <expected>
#include <functional>
#include <string>

#include "drovek/error/executor_error.h"
#include "drovek/placement/placement_plan.h"
#include "drovek/placement/thread_binder.h"
#include "platform/threads.h"

namespace drovek {

struct ConstructionHooks {
  using Spawner = std::function<std::expected<platform::ThreadHandle, int>(
      std::string name, std::size_t stack_bytes, std::move_only_function<void()> body)>;
  using Planner = std::function<std::expected<PlacementPlan, ExecutorError>(std::uint64_t worker_count)>;

  Spawner spawn_thread = &platform::spawn_thread;
  // Called only when pin_workers is set.
  Planner plan_placement = &placement_plan;
  // Called by each pinned worker on itself.
  ThreadBinder bind_thread = &bind_current_thread;
};

}  // namespace drovek
