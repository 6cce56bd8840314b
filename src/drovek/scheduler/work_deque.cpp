#include "drovek/scheduler/work_deque.h"

#include <new>

#include "drovek/scheduler/queue_array.h"
#include "pelmark/process_lifetime.h"
#include "platform/allocation_failure.h"
#include "platform/thread_yield.h"

// ThreadSanitizer does not model standalone fences; the fences here order
// the owner's and thieves' accesses to top/bottom, while every job copy is
// ordered through the slot stamps, which it does see.
#if defined(__SANITIZE_THREAD__)
#pragma GCC diagnostic ignored "-Wtsan"
#endif

namespace drovek {
namespace {

std::int64_t signed_difference(std::uint64_t a, std::uint64_t b) noexcept {
  return static_cast<std::int64_t>(a - b);
}

// Takes the stamp lock of position p, retrying; only the owner waits like
// this, and only for a thief that is finishing with the previous lap of the
// same slot or backing out of a stale attempt.
void lock_stamp_waiting(std::atomic<std::uint64_t>& stamp, std::uint64_t position) noexcept {
  std::uint32_t failures = 0;
  for (;;) {
    std::uint64_t expected = position;
    if (stamp.compare_exchange_weak(expected, ~position, std::memory_order_seq_cst)) return;
    if (++failures % kTriesBeforeYield == 0) platform::yield_thread();
  }
}

bool try_lock_stamp(std::atomic<std::uint64_t>& stamp, std::uint64_t position) noexcept {
  std::uint64_t expected = position;
  return stamp.compare_exchange_strong(expected, ~position, std::memory_order_seq_cst);
}

// A storage made while the deque is in use: there is no one to hand a
// refusal to.
std::unique_ptr<DequeStorage> storage_or_abort(std::uint64_t capacity, std::uint64_t start, bool lives_for_process) {
  const pelmark::ProcessLifetimeAllocations lifetime(lives_for_process);
  try {
    return std::make_unique<DequeStorage>(capacity, start);
  } catch (const QueueMemoryRefused& refused) {
    refused.report();
  } catch (const std::bad_alloc&) {
    platform::report_allocation_failure(sizeof(DequeStorage), alignof(DequeStorage));
  }
}

}  // namespace

WorkDeque::WorkDeque(std::uint64_t initial_capacity)
    : storage_(new DequeStorage(initial_capacity, 0)),
      initial_capacity_(initial_capacity),
      lives_for_process_(pelmark::allocating_for_process_lifetime()) {}

WorkDeque::~WorkDeque() {
  DequeStorage* storage = storage_.load(std::memory_order_acquire);
  const std::uint64_t bottom = bottom_.load(std::memory_order_acquire);
  for (std::uint64_t p = top_.load(std::memory_order_acquire); signed_difference(bottom, p) > 0; ++p) {
    release_job(storage->slot(p));
  }
  delete storage;
}

std::size_t WorkDeque::retired_count() const {
  std::lock_guard lock(retired_mutex_);
  return retired_.size();
}

std::int64_t WorkDeque::size_hint() const noexcept {
  return signed_difference(bottom_.load(std::memory_order_seq_cst), top_.load(std::memory_order_seq_cst));
}

void WorkDeque::begin_resize() noexcept {
  stealers_.fetch_or(1, std::memory_order_seq_cst);
  std::uint32_t checks = 0;
  while (stealers_.load(std::memory_order_seq_cst) != 1) {
    if (++checks % kTriesBeforeYield == 0) platform::yield_thread();
  }
}

void WorkDeque::end_resize() noexcept { stealers_.fetch_and(~std::uint64_t{1}, std::memory_order_seq_cst); }

DequeStorage* WorkDeque::replace_storage(std::uint64_t capacity) {
  DequeStorage* old_storage = storage_.load(std::memory_order_relaxed);
  const std::uint64_t bottom = bottom_.load(std::memory_order_relaxed);
  const std::uint64_t top = top_.load(std::memory_order_relaxed);
  std::unique_ptr<DequeStorage> fresh = storage_or_abort(capacity, bottom, lives_for_process_);
  for (std::uint64_t p = top; signed_difference(bottom, p) > 0; ++p) {
    fresh->slot(p) = old_storage->slot(p);
    fresh->stamp(p).store(old_storage->stamp(p).load(std::memory_order_relaxed), std::memory_order_relaxed);
  }
  // Release: a thief that loads the new pointer sees the copied jobs.
  storage_.store(fresh.release(), std::memory_order_release);
  return old_storage;
}

void WorkDeque::grow() {
  begin_resize();
  DequeStorage* old_storage = storage_.load(std::memory_order_relaxed);
  DequeStorage* retired = replace_storage(old_storage->capacity() * 2);
  {
    std::lock_guard lock(retired_mutex_);
    retired_.emplace_back(retired);
  }
  end_resize();
}

void WorkDeque::shrink() {
  if (storage_.load(std::memory_order_relaxed)->capacity() <= initial_capacity_) return;
  begin_resize();
  const std::int64_t live =
      signed_difference(bottom_.load(std::memory_order_relaxed), top_.load(std::memory_order_relaxed));
  if (live >= 0 && static_cast<std::uint64_t>(live) + 1 < initial_capacity_) {
    DequeStorage* old_storage = replace_storage(initial_capacity_);
    std::vector<std::unique_ptr<DequeStorage>> freed;
    {
      std::lock_guard lock(retired_mutex_);
      retired_.emplace_back(old_storage);
      freed.swap(retired_);
    }
    // No thief is inside (resize bit held), and none can hold the old
    // pointers: a thief reloads the storage each time it enters.
    freed.clear();
  }
  end_resize();
}

void WorkDeque::push(const Job& job) {
  const std::uint64_t b = bottom_.load(std::memory_order_relaxed);
  const std::uint64_t t = top_.load(std::memory_order_acquire);
  DequeStorage* storage = storage_.load(std::memory_order_relaxed);
  if (signed_difference(b, t) >= static_cast<std::int64_t>(storage->capacity() - 1)) {
    grow();
    storage = storage_.load(std::memory_order_relaxed);
  }
  std::atomic<std::uint64_t>& stamp = storage->stamp(b);
  lock_stamp_waiting(stamp, b);
  storage->slot(b) = job;
  // Release: a thief that locks the stamp at b sees the job.
  stamp.store(b, std::memory_order_release);
  // Release: a thief that reads the new bottom sees the stamp at b.
  bottom_.store(b + 1, std::memory_order_release);
}

std::optional<Job> WorkDeque::pop() noexcept {
  // Only the owner adds elements and top never decreases, so bottom <= top
  // means empty for good: skip the store and fence below.
  if (signed_difference(bottom_.load(std::memory_order_relaxed), top_.load(std::memory_order_relaxed)) <= 0) {
    return std::nullopt;
  }
  DequeStorage* storage = storage_.load(std::memory_order_relaxed);
  const std::uint64_t b = bottom_.load(std::memory_order_relaxed) - 1;
  bottom_.store(b, std::memory_order_relaxed);
  std::uint64_t t = top_.load(std::memory_order_relaxed);
  if (signed_difference(b, t) < static_cast<std::int64_t>(kNearEmptyZone)) {
    // Near-empty: thieves may be after the same elements. The fence orders
    // our bottom store before the top load (Le et al., take()).
    std::atomic_thread_fence(std::memory_order_seq_cst);
    t = top_.load(std::memory_order_relaxed);
    if (signed_difference(b, t) < 0) {
      bottom_.store(b + 1, std::memory_order_relaxed);
      return std::nullopt;
    }
    if (b == t) {
      // The last element: win it from thieves through top.
      std::atomic<std::uint64_t>& stamp = storage->stamp(b);
      if (!try_lock_stamp(stamp, b)) {
        bottom_.store(b + 1, std::memory_order_relaxed);
        return std::nullopt;
      }
      if (!top_.compare_exchange_strong(t, t + 1, std::memory_order_seq_cst)) {
        stamp.store(b, std::memory_order_release);
        bottom_.store(b + 1, std::memory_order_relaxed);
        return std::nullopt;
      }
      bottom_.store(b + 1, std::memory_order_relaxed);
      Job job = storage->slot(b);
      stamp.store(b + storage->capacity(), std::memory_order_release);
      return job;
    }
  }
  // Elements remain below b. A thief can only contend for slot b if it has
  // the same stamp locked, so the stamp decides. A failed lock means a thief
  // is taking position b: the deque was really down to that element.
  std::atomic<std::uint64_t>& stamp = storage->stamp(b);
  if (!try_lock_stamp(stamp, b)) {
    bottom_.store(b + 1, std::memory_order_relaxed);
    return std::nullopt;
  }
  Job job = storage->slot(b);
  // Position b is free again for the owner's next push (bottom is b). Release:
  // a thief that locks it afterwards sees bottom = b and backs off.
  stamp.store(b, std::memory_order_release);
  return job;
}

WorkDeque::ThiefSession::ThiefSession(WorkDeque& deque) noexcept : deque_(deque) { enter(); }

WorkDeque::ThiefSession::~ThiefSession() { leave(); }

void WorkDeque::ThiefSession::enter() noexcept {
  for (;;) {
    const std::uint64_t previous = deque_.stealers_.fetch_add(2, std::memory_order_seq_cst);
    if ((previous & 1) == 0) break;
    deque_.stealers_.fetch_sub(2, std::memory_order_seq_cst);
    platform::yield_thread();
  }
  // Stable until we leave: no resize runs while we are inside.
  storage_ = deque_.storage_.load(std::memory_order_acquire);
}

void WorkDeque::ThiefSession::leave() noexcept { deque_.stealers_.fetch_sub(2, std::memory_order_seq_cst); }

void WorkDeque::ThiefSession::pause_for_resize() noexcept {
  leave();
  platform::yield_thread();
  enter();
}

StealOutcome WorkDeque::ThiefSession::attempt(Job& out) noexcept {
  // Le et al., steal(): fence between reading top and bottom.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  std::uint64_t t = deque_.top_.load(std::memory_order_seq_cst);
  const std::uint64_t b = deque_.bottom_.load(std::memory_order_seq_cst);
  if (signed_difference(b, t) <= 0) return StealOutcome::Empty;
  std::atomic<std::uint64_t>& stamp = storage_->stamp(t);
  if (!try_lock_stamp(stamp, t)) return StealOutcome::Retry;
  // Holding the stamp: the owner cannot take or overwrite position t. Check
  // that it is still an element before claiming it.
  const std::uint64_t claimed = t;
  if (signed_difference(deque_.bottom_.load(std::memory_order_seq_cst), t) <= 0 ||
      !deque_.top_.compare_exchange_strong(t, t + 1, std::memory_order_seq_cst)) {
    stamp.store(claimed, std::memory_order_release);
    return StealOutcome::Retry;
  }
  out = storage_->slot(claimed);
  // The slot is free for the next lap.
  stamp.store(claimed + storage_->capacity(), std::memory_order_release);
  return StealOutcome::Success;
}

}  // namespace drovek
