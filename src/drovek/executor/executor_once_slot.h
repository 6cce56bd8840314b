#pragma once
// ExecutorOnceSlot: a slot filled once, under a lock, with an executor that
// then lives as long as the slot. Concurrent first callers block until the
// one that constructs is done; later callers read the filled slot without
// locking. A construction that throws (the system refused memory or a
// thread) leaves the slot empty, and the next caller tries again. The
// process-wide executor lives in a slot that is never destroyed; tests make
// their own.

#include <atomic>
#include <mutex>
#include <new>

#include "drovek/executor/executor.h"

namespace drovek {

class ExecutorOnceSlot {
 public:
  ExecutorOnceSlot() = default;
  ~ExecutorOnceSlot() { delete executor_.load(std::memory_order_acquire); }
  ExecutorOnceSlot(const ExecutorOnceSlot&) = delete;
  ExecutorOnceSlot& operator=(const ExecutorOnceSlot&) = delete;

  // `make` runs until it returns once per slot (again only after
  // forget_after_fork); an exception from it reaches the caller.
  template <class Factory>
  const Executor& get_or_create(Factory&& make) {
    if (const Executor* filled = executor_.load(std::memory_order_acquire)) return *filled;
    std::lock_guard lock(mutex_);
    if (const Executor* filled = executor_.load(std::memory_order_relaxed)) return *filled;
    const Executor* made = new Executor(make());
    executor_.store(made, std::memory_order_release);
    return *made;
  }

  // The executor when the slot is filled, else null.
  const Executor* get_if_created() const noexcept { return executor_.load(std::memory_order_acquire); }

  // In a child process right after fork(), where only the forking thread
  // exists: empties the slot so that the next get_or_create builds anew.
  // The inherited executor is leaked on purpose: its workers do not exist in
  // the child, so shutting it down would wait for them for ever, and the
  // forking thread may still hold a reference to it. The lock is replaced
  // too, since a thread of the parent may have held it at fork time and
  // will never release it here.
  void forget_after_fork() noexcept {
    executor_.store(nullptr, std::memory_order_relaxed);
    new (&mutex_) std::mutex;
  }

 private:
  // Not std::call_once: whether a throwing initializer leaves a once-flag
  // ready for another try depends on the platform's threads library.
  std::mutex mutex_;
  // Heap-allocated so that forgetting it leaves it in place. Written under
  // mutex_ (release), read lock-free (acquire).
  std::atomic<const Executor*> executor_{nullptr};
};

}  // namespace drovek
