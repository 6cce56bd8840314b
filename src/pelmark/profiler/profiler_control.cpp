#include "pelmark/profiler/profiler_control.h"

#include <mutex>

#include "pelmark/profiler/leak_report.h"
#include "pelmark/profiler/process_profiler.h"
#include "pelmark/profiler/profiler_settings.h"
#include "platform/fork_handlers.h"
#include "platform/stack_capture.h"

namespace pelmark {

namespace {

std::mutex g_configuration_mutex;

// Fork: a profiler lock held by another thread at the fork would never be
// released in the child. The forking thread takes them all first, live-table
// shards before interner shards (the read-out holds one of each in that
// order), then the walk lock; nothing holds a profiler lock while waiting
// for an allocator one, so the allocator's own handlers may run either side.
void lock_profiler_for_fork() noexcept {
  profiler::process_live_table().lock_all_for_fork();
  profiler::process_stack_interner().lock_all_for_fork();
  platform::hold_stack_capture_for_fork();
}

void unlock_profiler_after_fork() noexcept {
  platform::release_stack_capture_after_fork();
  profiler::process_stack_interner().unlock_all_after_fork();
  profiler::process_live_table().unlock_all_after_fork();
}

// Once, when the first mode is turned on (under the configuration mutex).
void guard_profiler_across_fork() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  (void)platform::register_fork_handlers(&lock_profiler_for_fork, &unlock_profiler_after_fork,
                                         &unlock_profiler_after_fork);
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
