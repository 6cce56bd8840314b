#include "pelmark/profiler/profiler_control.h"

#include <mutex>

#include "pelmark/profiler/leak_report.h"
#include "pelmark/profiler/profiler_settings.h"

namespace pelmark {

namespace {

std::mutex g_configuration_mutex;

}  // namespace

void enable_sampling(std::uint64_t interval) {
  std::lock_guard lock(g_configuration_mutex);
  auto& settings = profiler::g_profiler_settings;
  settings.sample_interval.store(interval, std::memory_order_relaxed);
  settings.sampling.store(true, std::memory_order_relaxed);
  settings.active.store(true, std::memory_order_release);
}

void enable_leak_detector() {
  std::lock_guard lock(g_configuration_mutex);
  auto& settings = profiler::g_profiler_settings;
  settings.leak_detector.store(true, std::memory_order_relaxed);
  settings.active.store(true, std::memory_order_release);
  profiler::write_leak_report_at_exit();
}

}  // namespace pelmark
