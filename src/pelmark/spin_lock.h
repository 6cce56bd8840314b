#pragma once
// The lock of every shared pool. Pool operations are a handful of pointer
// moves, so waiting threads spin; after 64 spins they give up their time
// slice (SwitchToThread) so that a descheduled holder can finish.

#include <atomic>
#include <cstdint>

namespace pelmark {

class SpinLock {
 public:
  void lock() noexcept;
  // Gives up after `attempts` failed compare-and-swaps, without yielding.
  bool try_lock(std::uint32_t attempts) noexcept;
  // Release pairs with the acquire of the next holder's compare-and-swap.
  void unlock() noexcept { byte_.store(0, std::memory_order_release); }

 private:
  std::atomic<std::uint8_t> byte_{0};
};

// Spins between yields; short enough that a holder that was preempted
// costs little, long enough that an uncontended hand-over never yields.
inline constexpr std::uint32_t kSpinsBeforeYield = 64;

class SpinLockGuard {
 public:
  explicit SpinLockGuard(SpinLock& lock) noexcept : lock_(lock) { lock_.lock(); }
  ~SpinLockGuard() { lock_.unlock(); }
  SpinLockGuard(const SpinLockGuard&) = delete;
  SpinLockGuard& operator=(const SpinLockGuard&) = delete;

 private:
  SpinLock& lock_;
};

}  // namespace pelmark
