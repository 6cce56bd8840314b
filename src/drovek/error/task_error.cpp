#include "drovek/error/task_error.h"

#include "platform/invariant_failure.h"

namespace drovek {
namespace {

constexpr std::uint8_t kFailureKinds = 9;    // codes 0-8
constexpr std::uint8_t kFirstOtherCode = 9;  // Cancelled
constexpr std::uint8_t kLastCode = 19;       // AlreadyCompleted
constexpr std::uint8_t kUnusedCode = kFirstOtherCode + static_cast<std::uint8_t>(TaskError::Variant::ExecutionFailed);

const char* kind_name(TaskFailureKind kind) {
  switch (kind) {
    case TaskFailureKind::Io: return "Io";
    case TaskFailureKind::Network: return "Network";
    case TaskFailureKind::FileSystem: return "FileSystem";
    case TaskFailureKind::PermissionDenied: return "PermissionDenied";
    case TaskFailureKind::NotFound: return "NotFound";
    case TaskFailureKind::WouldBlock: return "WouldBlock";
    case TaskFailureKind::Interrupted: return "Interrupted";
    case TaskFailureKind::InvalidInput: return "InvalidInput";
    case TaskFailureKind::Other: return "Other";
  }
  return "Other";
}

const char* variant_name(TaskError::Variant variant) {
  using V = TaskError::Variant;
  switch (variant) {
    case V::Cancelled: return "Cancelled";
    case V::Panicked: return "Panicked";
    case V::Timeout: return "Timeout";
    case V::ResourceExhausted: return "ResourceExhausted";
    case V::InvalidOperation: return "InvalidOperation";
    case V::ExecutionFailed: return "ExecutionFailed";
    case V::ExecutionTimeout: return "ExecutionTimeout";
    case V::ResultNotFound: return "ResultNotFound";
    case V::SpawnFailed: return "SpawnFailed";
    case V::InvalidState: return "InvalidState";
    case V::AlreadyCompleted: return "AlreadyCompleted";
  }
  return "InvalidState";
}

}  // namespace

TaskError::TaskError(Variant variant) : code_(kFirstOtherCode + static_cast<std::uint8_t>(variant)) {
  platform::ensure(variant != Variant::ExecutionFailed, "invariant: ExecutionFailed carries a failure kind");
}

std::optional<TaskError> TaskError::from_code(std::uint8_t code) noexcept {
  if (code > kLastCode || code == kUnusedCode) return std::nullopt;
  TaskError error(TaskFailureKind::Other);
  error.code_ = code;
  return error;
}

TaskError::Variant TaskError::variant() const noexcept {
  if (code_ < kFailureKinds) return Variant::ExecutionFailed;
  return static_cast<Variant>(code_ - kFirstOtherCode);
}

std::optional<TaskFailureKind> TaskError::failure_kind() const noexcept {
  if (code_ < kFailureKinds) return static_cast<TaskFailureKind>(code_);
  return std::nullopt;
}

std::string display(TaskFailureKind kind) {
  switch (kind) {
    case TaskFailureKind::Io: return "I/O error";
    case TaskFailureKind::Network: return "Network error";
    case TaskFailureKind::FileSystem: return "File system error";
    case TaskFailureKind::PermissionDenied: return "Permission denied";
    case TaskFailureKind::NotFound: return "Resource not found";
    case TaskFailureKind::WouldBlock: return "Operation would block";
    case TaskFailureKind::Interrupted: return "Operation interrupted";
    case TaskFailureKind::InvalidInput: return "Invalid input";
    case TaskFailureKind::Other: return "Other error";
  }
  return "Other error";
}

std::string debug(TaskFailureKind kind) { return kind_name(kind); }

std::string display(TaskError error) {
  using V = TaskError::Variant;
  switch (error.variant()) {
    case V::Cancelled: return "Task was cancelled";
    case V::Panicked: return "Task panicked during execution";
    case V::Timeout: return "Task exceeded execution time limit";
    case V::ResourceExhausted: return "Task failed due to resource exhaustion";
    case V::InvalidOperation: return "Invalid operation";
    case V::ExecutionFailed: return "Task execution failed: " + display(*error.failure_kind());
    case V::ExecutionTimeout: return "Task execution timed out";
    case V::ResultNotFound: return "Task result not found";
    case V::SpawnFailed: return "Task failed to spawn";
    case V::InvalidState: return "Task is not in a valid state for the operation";
    case V::AlreadyCompleted: return "Task has already completed";
  }
  return {};
}

std::string debug(TaskError error) {
  if (auto kind = error.failure_kind()) return std::string("ExecutionFailed(") + kind_name(*kind) + ")";
  return variant_name(error.variant());
}

}  // namespace drovek
