#include "pelmark/segment_pool.h"

namespace pelmark {

void SegmentPool::push(SegmentHeader* segment) noexcept {
  SpinLockGuard guard(lock_);
  stack_.push(segment);
  count_.fetch_add(1, std::memory_order_relaxed);
}

void SegmentPool::push_chain(SegmentHeader* first, SegmentHeader* last, std::uint64_t length) noexcept {
  SpinLockGuard guard(lock_);
  stack_.push_chain(first, last);
  count_.fetch_add(length, std::memory_order_relaxed);
}

bool SegmentPool::push_below(SegmentHeader* segment, std::uint64_t limit) noexcept {
  SpinLockGuard guard(lock_);
  if (count_.load(std::memory_order_relaxed) >= limit) return false;
  stack_.push(segment);
  count_.fetch_add(1, std::memory_order_relaxed);
  return true;
}

BoundedPush SegmentPool::try_push_below(SegmentHeader* segment, std::uint64_t limit,
                                        std::uint32_t attempts) noexcept {
  if (!lock_.try_lock(attempts)) return BoundedPush::kBusy;
  BoundedPush result = BoundedPush::kFull;
  if (count_.load(std::memory_order_relaxed) < limit) {
    stack_.push(segment);
    count_.fetch_add(1, std::memory_order_relaxed);
    result = BoundedPush::kPushed;
  }
  lock_.unlock();
  return result;
}

SegmentHeader* SegmentPool::pop() noexcept {
  SpinLockGuard guard(lock_);
  SegmentHeader* segment = stack_.pop();
  if (segment != nullptr) count_.fetch_sub(1, std::memory_order_relaxed);
  return segment;
}

SegmentHeader* SegmentPool::take_all() noexcept {
  SpinLockGuard guard(lock_);
  count_.store(0, std::memory_order_relaxed);
  return stack_.take_all();
}

}  // namespace pelmark
