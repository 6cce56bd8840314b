#pragma once
// Executor: a fixed pool of worker threads with work-stealing queues. A
// cheap, copyable handle; the pool is shut down (flag set, workers woken and
// joined) when the last handle goes. The process-wide executor lives in
// global_executor.h and is never shut down.

#include <cstdint>
#include <expected>
#include <memory>

#include "drovek/error/executor_error.h"
#include "drovek/executor/construction_hooks.h"
#include "drovek/executor/executor_config.h"
#include "drovek/scheduler/scheduler_core.h"

namespace drovek {

// The reason of the ResourceExhausted error Executor::create returns when
// the system refuses memory for the queues or the workers' records.
inline constexpr char kExecutorMemoryRefused[] = "the system refused memory for the executor";

class Executor {
 public:
  // Checks, in order: admission slots per worker (InvalidConfiguration), the
  // local queue capacity (InvalidLocalQueueInitialCapacity), the placement
  // plan when pinning; then builds the queues (ResourceExhausted with
  // kExecutorMemoryRefused when the system refuses the memory), starts the
  // workers (ThreadPoolCreationFailed when the OS refuses a thread), waits
  // until each has registered, and when pinning until each has bound
  // (WorkerPlacementFailed for the lowest failed worker). On failure nothing
  // is left running and everything allocated is released.
  static std::expected<Executor, ExecutorError> create(ExecutorConfig config);
  static std::expected<Executor, ExecutorError> create(ExecutorConfig config, const ConstructionHooks& hooks);

  const ExecutorConfig& config() const noexcept;
  std::uint64_t worker_count() const noexcept;
  SchedulerCore& scheduler() const noexcept;
  const ExecutorLifetime& lifetime() const noexcept;

 private:
  struct Shared;
  explicit Executor(std::shared_ptr<Shared> shared) noexcept : shared_(std::move(shared)) {}
  std::shared_ptr<Shared> shared_;
};

}  // namespace drovek
