#include "drovek/parallel/first_task_failure.h"

#include <utility>

namespace drovek {

void FirstTaskFailure::record(std::size_t task, std::exception_ptr error) noexcept {
  std::lock_guard lock(mutex_);
  if (task >= task_) return;
  task_ = task;
  error_ = std::move(error);
}

std::exception_ptr FirstTaskFailure::first() const noexcept {
  std::lock_guard lock(mutex_);
  return error_;
}

}  // namespace drovek
