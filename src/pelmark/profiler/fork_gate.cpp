#include "pelmark/profiler/fork_gate.h"

#include "platform/address_wait.h"

namespace pelmark::profiler {

void ForkGate::enter() noexcept {
  std::uint32_t state = state_.load(std::memory_order_relaxed);
  for (;;) {
    if ((state & kClosing) != 0) {
      // Sleeps only while nothing has changed; the closer wakes everyone
      // when it reopens.
      platform::wait_on_address(state_, state);
      state = state_.load(std::memory_order_relaxed);
      continue;
    }
    if (state_.compare_exchange_weak(state, state + 1, std::memory_order_acquire, std::memory_order_relaxed)) return;
  }
}

void ForkGate::leave() noexcept {
  // The last one out while a closer waits wakes it.
  if (state_.fetch_sub(1, std::memory_order_release) - 1 == kClosing) platform::wake_by_address_all(state_);
}

void ForkGate::close() noexcept {
  std::uint32_t state = state_.load(std::memory_order_relaxed);
  for (;;) {
    if ((state & kClosing) != 0) {  // another closer holds it
      platform::wait_on_address(state_, state);
      state = state_.load(std::memory_order_relaxed);
      continue;
    }
    if (state_.compare_exchange_weak(state, state | kClosing, std::memory_order_acquire, std::memory_order_relaxed)) {
      break;
    }
  }
  // No one enters any more; wait for those inside.
  while ((state = state_.load(std::memory_order_acquire)) != kClosing) platform::wait_on_address(state_, state);
}

void ForkGate::open() noexcept {
  state_.store(0, std::memory_order_release);
  platform::wake_by_address_all(state_);
}

void ForkGate::reset_in_child() noexcept { state_.store(0, std::memory_order_relaxed); }

}  // namespace pelmark::profiler
