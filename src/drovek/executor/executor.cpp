#include "drovek/executor/executor.h"

#include <chrono>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "drovek/executor/capacity_rules.h"
#include "drovek/scheduler/queue_array.h"
#include "drovek/scheduler/tuning.h"
#include "drovek/scheduler/worker_loop.h"
#include "platform/thread_yield.h"

namespace drovek {

struct Executor::Shared {
  Shared(ExecutorConfig configuration, std::shared_ptr<SchedulerCore> scheduler_core,
         std::shared_ptr<const ExecutorLifetime> lifetime_record)
      : config(std::move(configuration)), core(std::move(scheduler_core)), lifetime(std::move(lifetime_record)) {}
  // The last handle is gone.
  ~Shared() { shutdown(*core); }

  ExecutorConfig config;
  std::shared_ptr<SchedulerCore> core;
  std::shared_ptr<const ExecutorLifetime> lifetime;
};

namespace {

std::uint64_t saturating_nanoseconds(std::chrono::steady_clock::duration elapsed) {
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
  if (nanoseconds < 0) return 0;
  return static_cast<std::uint64_t>(nanoseconds);
}

void wait_for_registration(SchedulerCore& core) {
  for (std::size_t i = 0; i < core.worker_count(); ++i) {
    while (!core.worker(i).parker_registered.load(std::memory_order_acquire)) platform::yield_thread();
  }
}

std::optional<ExecutorError> placement_failure(SchedulerCore& core, const PlacementPlan& plan) {
  for (std::size_t i = 0; i < core.worker_count(); ++i) {
    while (!core.worker(i).placement.published()) platform::yield_thread();
  }
  const std::size_t checked = std::min(plan.size(), core.worker_count());
  for (std::size_t i = 0; i < checked; ++i) {
    if (const auto& error = core.worker(i).placement.error()) {
      return ExecutorError::WorkerPlacementFailed{i, plan[i].processor, *error};
    }
  }
  return std::nullopt;
}

// The scheduler with every worker's queues, before any thread starts; null
// when the system refuses memory for them (everything made so far is
// released again).
std::shared_ptr<SchedulerCore> build_scheduler(std::uint64_t workers, std::uint64_t admission, std::uint64_t local,
                                               const std::optional<PlacementPlan>& plan,
                                               const std::string& thread_name) {
  try {
    std::vector<std::unique_ptr<WorkerRecord>> records;
    if (workers > records.max_size()) return nullptr;
    records.reserve(workers);
    for (std::uint64_t i = 0; i < workers; ++i) records.push_back(std::make_unique<WorkerRecord>(admission, local));
    std::vector<std::optional<std::uint64_t>> numa_table(workers);
    if (plan) {
      for (std::uint64_t i = 0; i < workers && i < plan->size(); ++i) numa_table[i] = (*plan)[i].node;
    }
    return std::make_shared<SchedulerCore>(std::move(records), std::move(numa_table), thread_name);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

enum class StartRefusal { Thread, Memory };

// Starts worker `i`, or says what the system refused: the thread, or memory
// for its start record.
std::expected<platform::ThreadHandle, StartRefusal> start_worker(const std::shared_ptr<SchedulerCore>& core,
                                                                 const ExecutorConfig& config,
                                                                 const ConstructionHooks& hooks,
                                                                 const std::optional<PlacementPlan>& plan,
                                                                 std::uint64_t i) {
  try {
    WorkerStart start{core, static_cast<std::size_t>(i), std::nullopt, hooks.bind_thread};
    if (plan && i < plan->size()) start.planned_processor = (*plan)[i].processor;
    auto handle = hooks.spawn_thread(config.thread_name + "-" + std::to_string(i), kWorkerStackBytes,
                                     [start = std::move(start)]() mutable { run_worker(std::move(start)); });
    if (!handle) return std::unexpected(StartRefusal::Thread);
    return std::move(*handle);
  } catch (const std::bad_alloc&) {
    return std::unexpected(StartRefusal::Memory);
  }
}

// Built in place: moving an ExecutorError into the result trips a false
// maybe-uninitialized warning of GCC 12 about the variant's other members.
std::expected<Executor, ExecutorError> memory_refused() {
  return std::expected<Executor, ExecutorError>(std::unexpect, ExecutorError::ResourceExhausted{kExecutorMemoryRefused});
}

}  // namespace

std::expected<Executor, ExecutorError> Executor::create(ExecutorConfig config) {
  return create(std::move(config), ConstructionHooks{});
}

std::expected<Executor, ExecutorError> Executor::create(ExecutorConfig config, const ConstructionHooks& hooks) {
  const auto started = std::chrono::steady_clock::now();
  const std::uint64_t workers = effective_worker_count(config.worker_count);
  const auto admission = per_worker_admission_capacity(config.admission_capacity_total, workers);
  if (!admission) return std::unexpected(admission.error());
  const auto local = local_deque_capacity(config.local_queue_initial_capacity);
  if (!local) return std::unexpected(local.error());
  std::optional<PlacementPlan> plan;
  if (config.pin_workers) {
    auto planned = hooks.plan_placement(workers);
    if (!planned) return std::unexpected(planned.error());
    plan = std::move(*planned);
  }

  std::shared_ptr<SchedulerCore> core = build_scheduler(workers, *admission, *local, plan, config.thread_name);
  if (!core) return memory_refused();

  for (std::uint64_t i = 0; i < workers; ++i) {
    auto handle = start_worker(core, config, hooks, plan, i);
    if (!handle) {
      shutdown(*core);
      if (handle.error() == StartRefusal::Memory) return memory_refused();
      return std::unexpected(ExecutorError::ThreadPoolCreationFailed{});
    }
    // Room for every handle was reserved with the core: no allocation here.
    std::lock_guard lock(core->thread_handles_mutex);
    core->thread_handles.push_back(std::move(*handle));
  }

  wait_for_registration(*core);
  if (plan) {
    if (std::optional<ExecutorError> failure = placement_failure(*core, *plan)) {
      shutdown(*core);
      return std::unexpected(*failure);
    }
  }

  try {
    auto lifetime = std::make_shared<ExecutorLifetime>();
    lifetime->created = started;
    lifetime->worker_count = workers;
    lifetime->construction_nanoseconds = saturating_nanoseconds(std::chrono::steady_clock::now() - started);
    core->install_lifetime(lifetime);
    return Executor(std::make_shared<Shared>(std::move(config), core, std::move(lifetime)));
  } catch (const std::bad_alloc&) {
    shutdown(*core);
    return memory_refused();
  }
}

const ExecutorConfig& Executor::config() const noexcept { return shared_->config; }

std::uint64_t Executor::worker_count() const noexcept { return shared_->core->worker_count(); }

SchedulerCore& Executor::scheduler() const noexcept { return *shared_->core; }

const ExecutorLifetime& Executor::lifetime() const noexcept { return *shared_->lifetime; }

}  // namespace drovek
