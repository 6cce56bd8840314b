#include "drovek/scheduler/parker.h"

#include "platform/address_wait.h"

namespace drovek {

void Parker::park() noexcept {
  // Notified -> Empty (consume) or Empty -> Parked.
  if (state_.fetch_sub(1, std::memory_order_seq_cst) == kNotified) return;
  for (;;) {
    platform::wait_on_address(state_, kParked);
    std::uint32_t expected = kNotified;
    if (state_.compare_exchange_strong(expected, kEmpty, std::memory_order_seq_cst)) return;
    // Spurious wake-up: still Parked.
  }
}

void Parker::unpark() noexcept {
  if (state_.exchange(kNotified, std::memory_order_seq_cst) == kParked) platform::wake_by_address_single(state_);
}

}  // namespace drovek
