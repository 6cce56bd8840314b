#pragma once
// CompletionLatch: counts the submitted tasks of one parallel call that have
// not finished. Lives on the caller's stack; the call does not return before
// the count is 0, so no task outlives it.
//
// `outstanding` is raised by the caller before each submission and lowered
// only by finish(), so it cannot reach 0 while a submitted task is queued.
// The step from 1 to 0 is taken under the scheduler's completion-signal mutex
// and followed by a broadcast, which is what lets a sleeping caller (who
// checks the count under that mutex) never miss it. After that step finish()
// no longer touches the latch: the caller may already have returned.

#include <atomic>
#include <cstdint>

#include "drovek/scheduler/completion_signal.h"

namespace drovek {

class CompletionLatch {
 public:
  explicit CompletionLatch(CompletionSignal& signal) noexcept : signal_(&signal) {}
  CompletionLatch(const CompletionLatch&) = delete;
  CompletionLatch& operator=(const CompletionLatch&) = delete;

  void add_outstanding() noexcept { outstanding_.fetch_add(1, std::memory_order_seq_cst); }
  // One task is done: run (ran) or discarded unrun (counted as cancelled
  // first, so the caller sees it once the count is 0).
  void finish(bool ran) noexcept;
  // A discarded task that the caller then ran itself is not a cancellation.
  void uncount_cancelled() noexcept { cancelled_.fetch_sub(1, std::memory_order_seq_cst); }

  const std::atomic<std::uint64_t>& outstanding() const noexcept { return outstanding_; }
  std::uint64_t cancelled() const noexcept { return cancelled_.load(std::memory_order_seq_cst); }

 private:
  CompletionSignal* signal_;
  // Raised by the caller, lowered by finish() (task runners, releases).
  std::atomic<std::uint64_t> outstanding_{0};
  // Raised by finish(false), lowered by the caller for its own fallbacks.
  // Written before the writer's decrement of outstanding_ (sequentially
  // consistent), so the caller reads final values once it has seen
  // outstanding_ reach 0.
  std::atomic<std::uint64_t> cancelled_{0};
};

}  // namespace drovek
