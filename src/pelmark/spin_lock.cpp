#include "pelmark/spin_lock.h"

#include <immintrin.h>

#include "platform/thread_yield.h"

namespace pelmark {

namespace {

bool try_take(std::atomic<std::uint8_t>& byte) noexcept {
  std::uint8_t expected = 0;
  return byte.compare_exchange_strong(expected, 1, std::memory_order_acquire, std::memory_order_relaxed);
}

}  // namespace

void SpinLock::lock() noexcept {
  std::uint32_t spins = 0;
  while (!try_take(byte_)) {
    do {
      _mm_pause();
      if (++spins == kSpinsBeforeYield) {
        platform::yield_thread();
        spins = 0;
      }
    } while (byte_.load(std::memory_order_relaxed) != 0);
  }
}

bool SpinLock::try_lock(std::uint32_t attempts) noexcept {
  for (std::uint32_t attempt = 0; attempt < attempts; ++attempt) {
    if (try_take(byte_)) return true;
    _mm_pause();
  }
  return false;
}

}  // namespace pelmark
