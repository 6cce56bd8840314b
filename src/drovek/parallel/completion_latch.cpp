#include "drovek/parallel/completion_latch.h"

#include <exception>
#include <mutex>

#include "platform/invariant_failure.h"

namespace drovek {

void CompletionLatch::finish(bool ran) noexcept {
  if (!ran) cancelled_.fetch_add(1, std::memory_order_seq_cst);
  CompletionSignal& signal = *signal_;
  std::uint64_t current = outstanding_.load(std::memory_order_seq_cst);
  for (;;) {
    if (current == 0) std::terminate();  // more finishes than submissions: memory is already unsafe
    if (current == 1) {
      std::lock_guard lock(signal.mutex);
      if (outstanding_.compare_exchange_strong(current, 0, std::memory_order_seq_cst)) {
        // `this` may be gone from here on.
        signal.notify_all_locked();
        return;
      }
      continue;  // `current` was reloaded
    }
    if (outstanding_.compare_exchange_weak(current, current - 1, std::memory_order_seq_cst)) return;
  }
}

}  // namespace drovek
