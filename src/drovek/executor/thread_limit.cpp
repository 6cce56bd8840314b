#include "drovek/executor/thread_limit.h"

#include <algorithm>
#include <atomic>

namespace drovek {
namespace {

// Relaxed: the cap publishes nothing but itself, and a call that reads a
// stale value only splits as the previous setting said.
std::atomic<std::size_t> cap{0};

}  // namespace

void set_call_thread_limit(std::size_t threads) noexcept { cap.store(threads, std::memory_order_relaxed); }

std::size_t call_thread_limit() noexcept { return cap.load(std::memory_order_relaxed); }

std::size_t limit_call_threads(std::size_t threads) noexcept {
  const std::size_t limit = call_thread_limit();
  return std::max<std::size_t>(limit == 0 ? threads : std::min(threads, limit), 1);
}

}  // namespace drovek
