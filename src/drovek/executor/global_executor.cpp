#include "drovek/executor/global_executor.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>

#include "drovek/executor/executor_once_slot.h"
#include "drovek/executor/global_worker_count.h"
#include "drovek/executor/thread_count_setting.h"
#include "pelmark/process_lifetime.h"
#include "platform/allowed_processors.h"
#include "platform/environment.h"
#include "platform/fork_handlers.h"
#include "platform/invariant_failure.h"
#include "vendral/topology.h"

namespace drovek {
namespace {

ExecutorOnceSlot& unregistered_global_slot() {
  // Never destroyed: the process-wide executor is never shut down and its
  // workers are never joined, not even at exit.
  static ExecutorOnceSlot& slot = *new ExecutorOnceSlot;
  return slot;
}

// A child of fork() inherits the executor's state but none of its workers:
// its first parallel call would wait for ever. The child starts without one
// instead. The forking thread's own thread state is left alone: it names the
// old scheduler only when fork() was called from inside a job on a worker,
// and that thread is still running the old worker loop in the child.
void forget_executor_in_child() noexcept { unregistered_global_slot().forget_after_fork(); }

ExecutorOnceSlot& global_slot() {
  // Registered before the slot is first used, so no executor exists
  // unguarded. If the system refuses, a forked child would still hang; there
  // is no error channel here and the parent is unaffected.
  [[maybe_unused]] static const bool fork_guarded =
      platform::register_fork_handlers(nullptr, nullptr, &forget_executor_in_child);
  return unregistered_global_slot();
}

// An ignored KAVO_NUM_THREADS is said once per process on standard error:
// a typo would otherwise leave every worker process of a cluster with a
// pool per processor. A child of fork() inherits the flag and stays quiet.
std::atomic<bool> ignored_setting_reported{false};

void report_ignored_setting(std::string_view text, std::uint64_t workers) {
  if (ignored_setting_reported.exchange(true, std::memory_order_relaxed)) return;
  const std::string message = ignored_thread_count_message(text, workers);
  std::fputs(message.c_str(), stderr);
}

// The worker count the process's settings ask for now.
std::uint64_t worker_count_from_environment() {
  std::optional<std::uint64_t> setting;
  const std::optional<std::string> text = platform::environment_variable(kThreadCountVariable);
  if (text) setting = parse_thread_count(*text);
  const std::optional<std::uint64_t> allowed = platform::allowed_processor_count();
  std::uint64_t probed = 0;
  // The probe record is dropped as soon as the count is read.
  if (global_worker_count_needs_probe(setting, allowed)) probed = vendral::probe_topology().logical_processor_count;
  const std::uint64_t workers = global_worker_count(setting, allowed, probed);
  // A blank value reads as unset (`KAVO_NUM_THREADS= python ...`).
  if (text && !setting && text->find_first_not_of(" \t") != std::string::npos) report_ignored_setting(*text, workers);
  return workers;
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
  if (created) return std::move(*created);
  const ExecutorError& error = created.error();
  // The system was short of memory or threads: a failure of this call only.
  if (error.is<ExecutorError::ThreadPoolCreationFailed>() || error.is<ExecutorError::ResourceExhausted>()) {
    throw ExecutorResourcesRefused();
  }
  platform::fail_invariant("initialize global Drovek executor: " + debug(error));
}

const Executor& global_executor() {
  return global_slot().get_or_create([] {
    const std::uint64_t workers = worker_count_from_environment();
    // Its queues live until the process ends: not leaks.
    const pelmark::ProcessLifetimeAllocations lifetime;
    return create_global_executor(global_executor_config(workers));
  });
}

std::uint64_t global_executor_worker_count() {
  if (const Executor* executor = global_executor_if_created()) return executor->worker_count();
  return worker_count_from_environment();
}

const Executor* global_executor_if_created() noexcept { return global_slot().get_if_created(); }

}  // namespace drovek
