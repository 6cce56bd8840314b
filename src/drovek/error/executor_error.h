#pragma once
// ExecutorError: every way the executor can fail. The variant index is the
// error's tag (0 ShuttingDown ... 10 WorkerPlacementFailed). display() gives
// the user-facing message, debug() the structural form that internal
// invariant-failure messages embed, e.g. "SpawnFailed(Panicked)" or
// "WorkerPlacementFailed { worker: 3, processor: 7, cause: Os { code: 87 } }".

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

#include "drovek/error/scheduler_error_kind.h"
#include "drovek/error/task_error.h"
#include "drovek/error/thread_bind_error.h"

namespace drovek {

class ExecutorError {
 public:
  struct ShuttingDown {
    bool operator==(const ShuttingDown&) const = default;
  };
  struct AlreadyRunning {
    bool operator==(const AlreadyRunning&) const = default;
  };
  struct InvalidConfiguration {
    bool operator==(const InvalidConfiguration&) const = default;
  };
  struct InvalidLocalQueueInitialCapacity {
    std::uint64_t requested = 0;
    bool operator==(const InvalidLocalQueueInitialCapacity&) const = default;
  };
  struct ThreadPoolCreationFailed {
    bool operator==(const ThreadPoolCreationFailed&) const = default;
  };
  struct SpawnFailed {
    TaskError error;
    bool operator==(const SpawnFailed&) const = default;
  };
  struct ResourceExhausted {
    std::string text;
    bool operator==(const ResourceExhausted&) const = default;
  };
  struct PerformanceAnomaly {
    std::string text;
    bool operator==(const PerformanceAnomaly&) const = default;
  };
  struct NoSchedulerAvailable {
    bool operator==(const NoSchedulerAvailable&) const = default;
  };
  struct SchedulerError {
    SchedulerErrorKind kind;
    bool operator==(const SchedulerError&) const = default;
  };
  struct WorkerPlacementFailed {
    std::uint64_t worker = 0;
    std::uint32_t processor = 0;
    ThreadBindError cause;
    bool operator==(const WorkerPlacementFailed&) const = default;
  };
  using Variant = std::variant<ShuttingDown, AlreadyRunning, InvalidConfiguration, InvalidLocalQueueInitialCapacity,
                               ThreadPoolCreationFailed, SpawnFailed, ResourceExhausted, PerformanceAnomaly,
                               NoSchedulerAvailable, SchedulerError, WorkerPlacementFailed>;

  template <class Alternative>
    requires std::is_constructible_v<Variant, Alternative&&>
  ExecutorError(Alternative&& alternative) : value_(std::forward<Alternative>(alternative)) {}

  std::size_t tag() const noexcept { return value_.index(); }
  const Variant& variant() const noexcept { return value_; }
  template <class Alternative>
  bool is() const noexcept {
    return std::holds_alternative<Alternative>(value_);
  }
  template <class Alternative>
  const Alternative* get_if() const noexcept {
    return std::get_if<Alternative>(&value_);
  }
  bool operator==(const ExecutorError&) const = default;

 private:
  Variant value_;
};

std::string display(const ExecutorError& error);
std::string debug(const ExecutorError& error);

}  // namespace drovek
