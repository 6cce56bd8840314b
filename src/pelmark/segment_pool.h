#pragma once
// A per-node pool of whole segments: retained (empty, ready for reuse) or
// abandoned (left by an exited thread with live blocks). Each pool sits on
// its own cache line so that nodes do not contend.

#include <atomic>
#include <cstdint>

#include "pelmark/segment_stack.h"
#include "pelmark/spin_lock.h"

namespace pelmark {

enum class BoundedPush : std::uint8_t { kPushed, kFull, kBusy };

class alignas(64) SegmentPool {
 public:
  void push(SegmentHeader* segment) noexcept;
  // Pushes a chain linked through pool_link in one operation.
  void push_chain(SegmentHeader* first, SegmentHeader* last, std::uint64_t length) noexcept;
  // Pushes only while the pool holds fewer than `limit` segments.
  bool push_below(SegmentHeader* segment, std::uint64_t limit) noexcept;
  // As push_below, but gives up (kBusy) after `attempts` tries at the lock.
  BoundedPush try_push_below(SegmentHeader* segment, std::uint64_t limit, std::uint32_t attempts) noexcept;
  SegmentHeader* pop() noexcept;
  // Empties the pool; returns the old top, linked through pool_link.
  SegmentHeader* take_all() noexcept;

  // Holds the lock across a fork (Arena::lock_for_fork).
  void lock_for_fork() noexcept { lock_.lock(); }
  void unlock_after_fork() noexcept { lock_.unlock(); }

  // Changed only under the lock; read without it as a hint (an empty pool is
  // skipped without locking) and by statistics.
  std::uint64_t count() const noexcept { return count_.load(std::memory_order_relaxed); }

 private:
  SpinLock lock_;
  SegmentStack stack_;
  std::atomic<std::uint64_t> count_{0};
};

}  // namespace pelmark
