#pragma once
// ExecutorOnceSlot: a slot filled once, under a once-guard, with an executor
// that then lives as long as the slot. Concurrent first callers block until
// the one that constructs is done; later callers read the filled slot
// without locking. The process-wide executor lives in a slot that is never
// destroyed; tests make their own.

#include <atomic>
#include <mutex>
#include <optional>

#include "drovek/executor/executor.h"

namespace drovek {

class ExecutorOnceSlot {
 public:
  // `make` runs at most once per slot (again only if it threw).
  template <class Factory>
  const Executor& get_or_create(Factory&& make) {
    if (const Executor* filled = executor_.load(std::memory_order_acquire)) return *filled;
    std::call_once(once_, [&] {
      storage_.emplace(make());
      executor_.store(&*storage_, std::memory_order_release);
    });
    return *executor_.load(std::memory_order_acquire);
  }

  // The executor when the slot is filled, else null.
  const Executor* get_if_created() const noexcept { return executor_.load(std::memory_order_acquire); }

 private:
  std::once_flag once_;
  std::optional<Executor> storage_;  // filled once under once_
  // Points into storage_ once it is filled: written once under once_
  // (release), read lock-free (acquire).
  std::atomic<const Executor*> executor_{nullptr};
};

}  // namespace drovek
