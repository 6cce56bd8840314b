#pragma once
// The profiler's per-thread state, zero when a thread starts.

#include <cstdint>

namespace pelmark::profiler {

struct ThreadProfilerState {
  // Requested bytes left before the next sample. Starts at 0, so a thread's
  // first allocation with sampling on is always sampled.
  std::int64_t countdown = 0;
  // Set while the thread is inside the profiler: allocations and frees it
  // makes meanwhile are not recorded.
  bool in_profiler = false;
  // xorshift64 state of the countdown draws; 0 until seeded.
  std::uint64_t generator = 0;
  // Set while the thread allocates blocks meant to live until the process
  // ends (pelmark/process_lifetime.h); their records say so.
  bool process_lifetime = false;
};

// initial-exec like the allocator's heap pointer: the gates read it on every
// allocation, and the library may end up in a dlopen'ed module.
[[gnu::tls_model("initial-exec")]] extern constinit thread_local ThreadProfilerState t_profiler_state;

// Clears the in-profiler flag on every way out of a scope that set it.
class InProfilerScope {
 public:
  explicit InProfilerScope(ThreadProfilerState& state) noexcept : state_(state) { state_.in_profiler = true; }
  ~InProfilerScope() { state_.in_profiler = false; }
  InProfilerScope(const InProfilerScope&) = delete;
  InProfilerScope& operator=(const InProfilerScope&) = delete;

 private:
  ThreadProfilerState& state_;
};

}  // namespace pelmark::profiler
