#include "drovek/executor/global_executor.h"

#include <algorithm>

#include "drovek/executor/executor_once_slot.h"
#include "drovek/executor/thread_count_setting.h"
#include "platform/environment.h"
#include "platform/invariant_failure.h"
#include "vendral/topology.h"

namespace drovek {
namespace {

// Never destroyed: the process-wide executor is never shut down and its
// workers are never joined, not even at exit.
ExecutorOnceSlot& global_slot() {
  static ExecutorOnceSlot& slot = *new ExecutorOnceSlot;
  return slot;
}

}  // namespace

ExecutorConfig global_executor_config(std::uint64_t logical_processors) {
  ExecutorConfig config;
  config.thread_name = "drovek-worker";
  config.worker_count = std::max<std::uint64_t>(logical_processors, 1);
  config.admission_capacity_total = 8192;
  config.local_queue_initial_capacity = 128;
  config.pin_workers = false;
  return config;
}

Executor create_global_executor(ExecutorConfig config) {
  std::expected<Executor, ExecutorError> created = Executor::create(std::move(config));
  if (!created) platform::fail_invariant("initialize global Drovek executor: " + debug(created.error()));
  return std::move(*created);
}

const Executor& global_executor() {
  return global_slot().get_or_create([] {
    std::optional<std::uint64_t> workers;
    if (auto setting = platform::environment_variable(kThreadCountVariable)) workers = parse_thread_count(*setting);
    // The probe record is dropped as soon as the count is read.
    if (!workers) workers = vendral::probe_topology().logical_processor_count;
    return create_global_executor(global_executor_config(*workers));
  });
}

const Executor* global_executor_if_created() noexcept { return global_slot().get_if_created(); }

}  // namespace drovek
