#pragma once
// A reusable barrier for tests, built on the platform's address waits: a
// phase ends when `count` threads have arrived. std::barrier (and
// std::atomic::wait under it) now and then never wakes its waiters in
// MinGW-built programs under Wine; the platform wait does.

#include <atomic>
#include <cstdint>

#include "platform/address_wait.h"

namespace test_support {

class AddressBarrier {
 public:
  explicit AddressBarrier(std::uint32_t count) : count_(count) {}
  AddressBarrier(const AddressBarrier&) = delete;
  AddressBarrier& operator=(const AddressBarrier&) = delete;

  void arrive_and_wait() {
    const std::uint32_t phase = phase_.load(std::memory_order_acquire);
    if (arrived_.fetch_add(1, std::memory_order_acq_rel) + 1 == count_) {
      // Nobody arrives for the next phase before seeing this one end.
      arrived_.store(0, std::memory_order_relaxed);
      phase_.fetch_add(1, std::memory_order_release);
      platform::wake_by_address_all(phase_);
      return;
    }
    while (phase_.load(std::memory_order_acquire) == phase) platform::wait_on_address(phase_, phase);
  }

 private:
  const std::uint32_t count_;
  std::atomic<std::uint32_t> arrived_{0};
  std::atomic<std::uint32_t> phase_{0};
};

}  // namespace test_support
