#include "pelmark/profiler/profiler_control.h"

#include <mutex>

#include "pelmark/profiler/leak_report.h"
#include "pelmark/profiler/process_profiler.h"
#include "pelmark/profiler/profiler_settings.h"
#include "platform/fork_handlers.h"

namespace pelmark {

namespace {

std::mutex g_configuration_mutex;

// Fork: a profiler lock held by another thread at the fork would never be
// released in the child, so the forking thread first waits until no thread
// is inside the profiler's tables. Nothing inside them waits for an
// allocator lock, so the allocator's own handlers may run either side.
void lock_profiler_for_fork() noexcept { profiler::hold_profiler_for_fork(); }
void unlock_profiler_in_parent() noexcept { profiler::release_profiler_in_parent(); }
void unlock_profiler_in_child() noexcept { profiler::release_profiler_in_child(); }

// Once, when the first mode is turned on (under the configuration mutex).
void guard_profiler_across_fork() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  (void)platform::register_fork_handlers(&lock_profiler_for_fork, &unlock_profiler_in_parent,
                                         &unlock_profiler_in_child);
}

}  // namespace

void enable_sampling(std::uint64_t interval) {
  std::lock_guard lock(g_configuration_mutex);
  auto& settings = profiler::g_profiler_settings;
  settings.sample_interval.store(interval, std::memory_order_relaxed);
  settings.sampling.store(true, std::memory_order_relaxed);
  guard_profiler_across_fork();
  settings.active.store(true, std::memory_order_release);
}

void enable_leak_detector() {
  std::lock_guard lock(g_configuration_mutex);
  auto& settings = profiler::g_profiler_settings;
  settings.leak_detector.store(true, std::memory_order_relaxed);
  guard_profiler_across_fork();
  settings.active.store(true, std::memory_order_release);
  profiler::write_leak_report_at_exit();
}

}  // namespace pelmark
