#include "drovek/error/executor_error.h"

#include "platform/debug_quoted.h"

namespace drovek {

std::string display(const ExecutorError& error) {
  using E = ExecutorError;
  struct Visitor {
    std::string operator()(const E::ShuttingDown&) const { return "Executor is shutting down"; }
    std::string operator()(const E::AlreadyRunning&) const { return "Executor is already running"; }
    std::string operator()(const E::InvalidConfiguration&) const { return "Invalid executor configuration"; }
    std::string operator()(const E::InvalidLocalQueueInitialCapacity& e) const {
      return "local queue initial capacity " + std::to_string(e.requested) + " cannot form a supported allocation";
    }
    std::string operator()(const E::ThreadPoolCreationFailed&) const { return "Failed to create thread pool"; }
    std::string operator()(const E::SpawnFailed& e) const { return "Failed to spawn task: " + display(e.error); }
    std::string operator()(const E::ResourceExhausted& e) const { return "Resource exhausted: " + e.text; }
    std::string operator()(const E::PerformanceAnomaly& e) const { return "Performance anomaly: " + e.text; }
    std::string operator()(const E::NoSchedulerAvailable&) const { return "No scheduler available"; }
    std::string operator()(const E::SchedulerError& e) const { return "Scheduler error: " + display(e.kind); }
    std::string operator()(const E::WorkerPlacementFailed& e) const {
      return "worker " + std::to_string(e.worker) + " could not be pinned to logical processor " +
             std::to_string(e.processor);
    }
  };
  return std::visit(Visitor{}, error.variant());
}

std::string debug(const ExecutorError& error) {
  using E = ExecutorError;
  struct Visitor {
    std::string operator()(const E::ShuttingDown&) const { return "ShuttingDown"; }
    std::string operator()(const E::AlreadyRunning&) const { return "AlreadyRunning"; }
    std::string operator()(const E::InvalidConfiguration&) const { return "InvalidConfiguration"; }
    std::string operator()(const E::InvalidLocalQueueInitialCapacity& e) const {
      return "InvalidLocalQueueInitialCapacity { requested: " + std::to_string(e.requested) + " }";
    }
    std::string operator()(const E::ThreadPoolCreationFailed&) const { return "ThreadPoolCreationFailed"; }
    std::string operator()(const E::SpawnFailed& e) const { return "SpawnFailed(" + debug(e.error) + ")"; }
    std::string operator()(const E::ResourceExhausted& e) const {
      return "ResourceExhausted(" + platform::debug_quoted(e.text) + ")";
    }
    std::string operator()(const E::PerformanceAnomaly& e) const {
      return "PerformanceAnomaly(" + platform::debug_quoted(e.text) + ")";
    }
    std::string operator()(const E::NoSchedulerAvailable&) const { return "NoSchedulerAvailable"; }
    std::string operator()(const E::SchedulerError& e) const { return "SchedulerError(" + debug(e.kind) + ")"; }
    std::string operator()(const E::WorkerPlacementFailed& e) const {
      return "WorkerPlacementFailed { worker: " + std::to_string(e.worker) +
             ", processor: " + std::to_string(e.processor) + ", cause: " + debug(e.cause) + " }";
    }
  };
  return std::visit(Visitor{}, error.variant());
}

}  // namespace drovek
