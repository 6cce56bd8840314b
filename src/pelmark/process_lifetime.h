#pragma once
// Blocks meant to live until the process ends (the process-wide executor's
// queues, say) are not leaks, though they are still allocated at exit. While
// a ProcessLifetimeAllocations scope is open on a thread, the blocks that
// thread allocates are recorded as such: the leak report leaves them out, so
// that what it lists is what a program forgot to free. Without the profiler
// the scope only sets a thread-local flag.

namespace pelmark {

class ProcessLifetimeAllocations {
 public:
  // `active` false leaves the thread as it was (for owners that decide at
  // run time whether their blocks live for the process).
  explicit ProcessLifetimeAllocations(bool active = true) noexcept;
  ~ProcessLifetimeAllocations();
  ProcessLifetimeAllocations(const ProcessLifetimeAllocations&) = delete;
  ProcessLifetimeAllocations& operator=(const ProcessLifetimeAllocations&) = delete;

 private:
  bool previous_;
};

// Whether the calling thread is inside such a scope.
bool allocating_for_process_lifetime() noexcept;

}  // namespace pelmark
