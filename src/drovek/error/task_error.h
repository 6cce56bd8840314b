#pragma once
// TaskError: why one task did not complete. Stored in one byte: values 0-8
// are ExecutionFailed with that TaskFailureKind, values 9-19 the other
// variants in declaration order (9 Cancelled ... 19 AlreadyCompleted; 14, the
// slot of ExecutionFailed, never occurs).

#include <cstdint>
#include <optional>
#include <string>

namespace drovek {

enum class TaskFailureKind : std::uint8_t {
  Io,
  Network,
  FileSystem,
  PermissionDenied,
  NotFound,
  WouldBlock,
  Interrupted,
  InvalidInput,
  Other,
};

class TaskError {
 public:
  enum class Variant : std::uint8_t {
    Cancelled,
    Panicked,
    Timeout,
    ResourceExhausted,
    InvalidOperation,
    ExecutionFailed,
    ExecutionTimeout,
    ResultNotFound,
    SpawnFailed,
    InvalidState,
    AlreadyCompleted,
  };

  // Any variant but ExecutionFailed, which needs its kind (invariant failure).
  explicit TaskError(Variant variant);
  // ExecutionFailed with `kind`.
  explicit constexpr TaskError(TaskFailureKind kind) noexcept : code_(static_cast<std::uint8_t>(kind)) {}

  // The stored byte, and back; a byte outside 0-19 or equal to 14 is refused.
  constexpr std::uint8_t code() const noexcept { return code_; }
  static std::optional<TaskError> from_code(std::uint8_t code) noexcept;

  Variant variant() const noexcept;
  std::optional<TaskFailureKind> failure_kind() const noexcept;

  bool operator==(const TaskError&) const = default;

 private:
  std::uint8_t code_;
};

static_assert(sizeof(TaskError) == 1);

std::string display(TaskFailureKind kind);
std::string debug(TaskFailureKind kind);
std::string display(TaskError error);
std::string debug(TaskError error);

}  // namespace drovek
