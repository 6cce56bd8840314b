#pragma once
// PlacementOutcome: the result of binding a pinned worker to its processor,
// published once by the worker thread and read by executor construction.

#include <atomic>
#include <cstdint>
#include <optional>

#include "drovek/error/thread_bind_error.h"

namespace drovek {

class PlacementOutcome {
 public:
  // Worker thread, once. `error` is absent on success.
  void publish(std::optional<ThreadBindError> error) {
    error_ = std::move(error);
    // Release: construction's acquire load sees error_.
    state_.store(error_ ? kFailed : kBound, std::memory_order_release);
  }
  bool published() const noexcept { return state_.load(std::memory_order_acquire) != kUnset; }
  // Valid once published().
  const std::optional<ThreadBindError>& error() const noexcept { return error_; }

 private:
  static constexpr std::uint8_t kUnset = 0;
  static constexpr std::uint8_t kBound = 1;
  static constexpr std::uint8_t kFailed = 2;
  std::atomic<std::uint8_t> state_{kUnset};
  std::optional<ThreadBindError> error_;
};

}  // namespace drovek
