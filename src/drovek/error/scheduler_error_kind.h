#pragma once
// SchedulerErrorKind: the payload of ExecutorError::SchedulerError. Part of
// the error vocabulary; no operation of this system produces it.

#include <string>
#include <utility>
#include <variant>

namespace drovek {

class SchedulerErrorKind {
 public:
  struct QueueFull {
    bool operator==(const QueueFull&) const = default;
  };
  struct QueueEmpty {
    bool operator==(const QueueEmpty&) const = default;
  };
  struct StealFailed {
    bool operator==(const StealFailed&) const = default;
  };
  struct InvalidState {
    bool operator==(const InvalidState&) const = default;
  };
  struct SystemFailure {
    std::string text;
    bool operator==(const SystemFailure&) const = default;
  };
  struct InvalidScheduler {
    bool operator==(const InvalidScheduler&) const = default;
  };
  using Variant = std::variant<QueueFull, QueueEmpty, StealFailed, InvalidState, SystemFailure, InvalidScheduler>;

  template <class Alternative>
    requires std::is_constructible_v<Variant, Alternative&&>
  SchedulerErrorKind(Alternative&& alternative) : value_(std::forward<Alternative>(alternative)) {}

  const Variant& variant() const noexcept { return value_; }
  bool operator==(const SchedulerErrorKind&) const = default;

 private:
  Variant value_;
};

std::string display(const SchedulerErrorKind& kind);
std::string debug(const SchedulerErrorKind& kind);

}  // namespace drovek
