#pragma once
// FirstTaskFailure: the exception that escaped the lowest-numbered failing
// task of one parallel call. Lives on the caller's stack next to the
// completion latch. Tasks record from whichever thread ran them; the caller
// reads only after every task has finished (the latch's last decrement
// orders the writes before that read, the mutex orders racing writers).

#include <cstddef>
#include <exception>
#include <limits>
#include <mutex>

namespace drovek {

class FirstTaskFailure {
 public:
  // Keeps `error` if no task numbered below `task` has failed.
  void record(std::size_t task, std::exception_ptr error) noexcept;
  // The kept exception, or null when every task succeeded.
  std::exception_ptr first() const noexcept;

 private:
  mutable std::mutex mutex_;
  std::size_t task_ = std::numeric_limits<std::size_t>::max();  // guarded by mutex_
  std::exception_ptr error_;                                    // guarded by mutex_
};

}  // namespace drovek
