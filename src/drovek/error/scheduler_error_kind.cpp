#include "drovek/error/scheduler_error_kind.h"

#include "platform/debug_quoted.h"

namespace drovek {

std::string display(const SchedulerErrorKind& kind) {
  using K = SchedulerErrorKind;
  struct Visitor {
    std::string operator()(const K::QueueFull&) const { return "Task queue is full"; }
    std::string operator()(const K::QueueEmpty&) const { return "Task queue is empty"; }
    std::string operator()(const K::StealFailed&) const { return "Work stealing failed"; }
    std::string operator()(const K::InvalidState&) const { return "Invalid scheduler state"; }
    std::string operator()(const K::SystemFailure& f) const { return "System failure: " + f.text; }
    std::string operator()(const K::InvalidScheduler&) const { return "Invalid scheduler reference"; }
  };
  return std::visit(Visitor{}, kind.variant());
}

std::string debug(const SchedulerErrorKind& kind) {
  using K = SchedulerErrorKind;
  struct Visitor {
    std::string operator()(const K::QueueFull&) const { return "QueueFull"; }
    std::string operator()(const K::QueueEmpty&) const { return "QueueEmpty"; }
    std::string operator()(const K::StealFailed&) const { return "StealFailed"; }
    std::string operator()(const K::InvalidState&) const { return "InvalidState"; }
    std::string operator()(const K::SystemFailure& f) const { return "SystemFailure(" + platform::debug_quoted(f.text) + ")"; }
    std::string operator()(const K::InvalidScheduler&) const { return "InvalidScheduler"; }
  };
  return std::visit(Visitor{}, kind.variant());
}

}  // namespace drovek
