#pragma once
// Interrupting long computations between steps (Ctrl-C in Python).
//
// A request is one process-wide flag: request_interrupt() sets it (safe in a
// signal handler), the caller that arms a computation clears it first. Only
// threads working for an interruptible call act on it: the thread that armed
// the call (InterruptibleScope) and, for the tasks of that call, whichever
// thread runs them (the parallel-for drivers carry the caller's state into
// each task). Everyone else, other callers' computations included, ignores
// the flag.
//
// Long loops call throw_if_interrupted() between steps (a panel, a sweep, a
// band of rows, a batch): one relaxed load while nothing is requested. It
// throws Interrupted, which unwinds through the computation like any
// exception (buffers are released by their owners, parallel calls finish
// their running tasks first) up to the caller that armed it.

#include <atomic>
#include <exception>

namespace platform {

class Interrupted : public std::exception {
 public:
  const char* what() const noexcept override { return "computation interrupted"; }
};

namespace interrupt_detail {
// Written by request_interrupt (any thread, or a signal handler) and
// clear_interrupt_request; relaxed suffices: the flag publishes nothing
// but itself, and a poll that misses it sees it at the next step.
extern constinit std::atomic<bool> g_requested;
// Whether this thread currently works for an interruptible call.
extern constinit thread_local bool t_interruptible;
[[noreturn]] void throw_interrupted();
}  // namespace interrupt_detail

static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

// Async-signal-safe.
inline void request_interrupt() noexcept { interrupt_detail::g_requested.store(true, std::memory_order_relaxed); }
inline void clear_interrupt_request() noexcept {
  interrupt_detail::g_requested.store(false, std::memory_order_relaxed);
}
inline bool interrupt_requested() noexcept { return interrupt_detail::g_requested.load(std::memory_order_relaxed); }

// Whether the calling thread works for an interruptible call.
inline bool working_for_interruptible_call() noexcept { return interrupt_detail::t_interruptible; }

// The poll between steps: throws Interrupted when a request is pending and
// this thread works for an interruptible call.
inline void throw_if_interrupted() {
  if (interrupt_detail::g_requested.load(std::memory_order_relaxed) && interrupt_detail::t_interruptible) [[unlikely]] {
    interrupt_detail::throw_interrupted();
  }
}

// Sets whether the calling thread works for an interruptible call until the
// scope ends (then the previous state returns). The parallel-for drivers
// open one per task with the state of the call that submitted it.
class InterruptibleScope {
 public:
  explicit InterruptibleScope(bool interruptible) noexcept : previous_(interrupt_detail::t_interruptible) {
    interrupt_detail::t_interruptible = interruptible;
  }
  ~InterruptibleScope() { interrupt_detail::t_interruptible = previous_; }
  InterruptibleScope(const InterruptibleScope&) = delete;
  InterruptibleScope& operator=(const InterruptibleScope&) = delete;

 private:
  bool previous_;
};

}  // namespace platform
