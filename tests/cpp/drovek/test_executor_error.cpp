// Display and debug forms of the executor's error kinds, and the one-byte
// encoding of TaskError.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drovek/error/executor_error.h"
#include "platform/invariant_failure.h"

namespace drovek {
namespace {

using E = ExecutorError;
using V = TaskError::Variant;

struct ErrorCase {
  ExecutorError error;
  std::size_t tag;
  std::string display;
  std::string debug;
};

TEST(ExecutorErrorTest, EveryVariantHasItsTagDisplayAndDebugForm) {
  const std::vector<ErrorCase> cases = {
      {E::ShuttingDown{}, 0, "Executor is shutting down", "ShuttingDown"},
      {E::AlreadyRunning{}, 1, "Executor is already running", "AlreadyRunning"},
      {E::InvalidConfiguration{}, 2, "Invalid executor configuration", "InvalidConfiguration"},
      {E::InvalidLocalQueueInitialCapacity{5}, 3, "local queue initial capacity 5 cannot form a supported allocation",
       "InvalidLocalQueueInitialCapacity { requested: 5 }"},
      {E::ThreadPoolCreationFailed{}, 4, "Failed to create thread pool", "ThreadPoolCreationFailed"},
      {E::SpawnFailed{TaskError(V::Panicked)}, 5, "Failed to spawn task: Task panicked during execution",
       "SpawnFailed(Panicked)"},
      {E::SpawnFailed{TaskError(TaskFailureKind::Io)}, 5, "Failed to spawn task: Task execution failed: I/O error",
       "SpawnFailed(ExecutionFailed(Io))"},
      {E::ResourceExhausted{"worker 3 scheduler admission queue is full"}, 6,
       "Resource exhausted: worker 3 scheduler admission queue is full",
       "ResourceExhausted(\"worker 3 scheduler admission queue is full\")"},
      {E::PerformanceAnomaly{"say \"hi\"\n"}, 7, "Performance anomaly: say \"hi\"\n",
       "PerformanceAnomaly(\"say \\\"hi\\\"\\n\")"},
      {E::NoSchedulerAvailable{}, 8, "No scheduler available", "NoSchedulerAvailable"},
      {E::SchedulerError{SchedulerErrorKind::QueueFull{}}, 9, "Scheduler error: Task queue is full",
       "SchedulerError(QueueFull)"},
      {E::SchedulerError{SchedulerErrorKind::SystemFailure{"disk"}}, 9, "Scheduler error: System failure: disk",
       "SchedulerError(SystemFailure(\"disk\"))"},
      {E::WorkerPlacementFailed{3, 7, ThreadBindError::Os{87}}, 10, "worker 3 could not be pinned to logical processor 7",
       "WorkerPlacementFailed { worker: 3, processor: 7, cause: Os { code: 87 } }"},
      {E::WorkerPlacementFailed{0, 4194304, ThreadBindError::OutOfRange{}}, 10,
       "worker 0 could not be pinned to logical processor 4194304",
       "WorkerPlacementFailed { worker: 0, processor: 4194304, cause: OutOfRange }"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.debug);
    EXPECT_EQ(c.error.tag(), c.tag);
    EXPECT_EQ(display(c.error), c.display);
    EXPECT_EQ(debug(c.error), c.debug);
  }
}

TEST(ExecutorErrorTest, SchedulerKindsAndBindErrorsHaveTheirMessages) {
  const std::vector<std::pair<SchedulerErrorKind, std::string>> kinds = {
      {SchedulerErrorKind::QueueFull{}, "Task queue is full"},
      {SchedulerErrorKind::QueueEmpty{}, "Task queue is empty"},
      {SchedulerErrorKind::StealFailed{}, "Work stealing failed"},
      {SchedulerErrorKind::InvalidState{}, "Invalid scheduler state"},
      {SchedulerErrorKind::InvalidScheduler{}, "Invalid scheduler reference"},
  };
  for (const auto& [kind, text] : kinds) EXPECT_EQ(display(kind), text);

  EXPECT_EQ(display(ThreadBindError(ThreadBindError::Unsupported{})), "thread binding is unsupported on this target");
  EXPECT_EQ(display(ThreadBindError(ThreadBindError::OutOfRange{})),
            "the processor is outside the range this target can bind");
  EXPECT_EQ(display(ThreadBindError(ThreadBindError::Os{87})),
            "the operating system refused the binding (error code 87)");
  EXPECT_EQ(debug(ThreadBindError(ThreadBindError::Unsupported{})), "Unsupported");
  EXPECT_EQ(debug(ThreadBindError(ThreadBindError::Os{-1})), "Os { code: -1 }");
}

TEST(TaskErrorTest, TaskErrorsRoundTripThroughTheirByte) {
  const std::vector<std::tuple<TaskError, std::uint8_t, std::string, std::string>> cases = {
      {TaskError(TaskFailureKind::Io), 0, "ExecutionFailed(Io)", "Task execution failed: I/O error"},
      {TaskError(TaskFailureKind::Network), 1, "ExecutionFailed(Network)", "Task execution failed: Network error"},
      {TaskError(TaskFailureKind::FileSystem), 2, "ExecutionFailed(FileSystem)",
       "Task execution failed: File system error"},
      {TaskError(TaskFailureKind::PermissionDenied), 3, "ExecutionFailed(PermissionDenied)",
       "Task execution failed: Permission denied"},
      {TaskError(TaskFailureKind::NotFound), 4, "ExecutionFailed(NotFound)",
       "Task execution failed: Resource not found"},
      {TaskError(TaskFailureKind::WouldBlock), 5, "ExecutionFailed(WouldBlock)",
       "Task execution failed: Operation would block"},
      {TaskError(TaskFailureKind::Interrupted), 6, "ExecutionFailed(Interrupted)",
       "Task execution failed: Operation interrupted"},
      {TaskError(TaskFailureKind::InvalidInput), 7, "ExecutionFailed(InvalidInput)",
       "Task execution failed: Invalid input"},
      {TaskError(TaskFailureKind::Other), 8, "ExecutionFailed(Other)", "Task execution failed: Other error"},
      {TaskError(V::Cancelled), 9, "Cancelled", "Task was cancelled"},
      {TaskError(V::Panicked), 10, "Panicked", "Task panicked during execution"},
      {TaskError(V::Timeout), 11, "Timeout", "Task exceeded execution time limit"},
      {TaskError(V::ResourceExhausted), 12, "ResourceExhausted", "Task failed due to resource exhaustion"},
      {TaskError(V::InvalidOperation), 13, "InvalidOperation", "Invalid operation"},
      {TaskError(V::ExecutionTimeout), 15, "ExecutionTimeout", "Task execution timed out"},
      {TaskError(V::ResultNotFound), 16, "ResultNotFound", "Task result not found"},
      {TaskError(V::SpawnFailed), 17, "SpawnFailed", "Task failed to spawn"},
      {TaskError(V::InvalidState), 18, "InvalidState", "Task is not in a valid state for the operation"},
      {TaskError(V::AlreadyCompleted), 19, "AlreadyCompleted", "Task has already completed"},
  };
  for (const auto& [error, code, debug_form, display_form] : cases) {
    SCOPED_TRACE(debug_form);
    EXPECT_EQ(error.code(), code);
    EXPECT_EQ(debug(error), debug_form);
    EXPECT_EQ(display(error), display_form);
    EXPECT_EQ(TaskError::from_code(code), error);
  }
  EXPECT_EQ(TaskError::from_code(14), std::nullopt);
  EXPECT_EQ(TaskError::from_code(20), std::nullopt);
  EXPECT_THROW(TaskError(V::ExecutionFailed), platform::InvariantFailure);
}

}  // namespace
}  // namespace drovek
