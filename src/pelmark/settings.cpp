#include "pelmark/settings.h"

#include <algorithm>

namespace pelmark {

void SettingsRecord::store(const Settings& settings) noexcept {
  max_retained_segments_.store(std::min(settings.max_retained_segments, kMaxRetainedSegmentsLimit),
                               std::memory_order_relaxed);
  enable_hugepage_hint_.store(settings.enable_hugepage_hint, std::memory_order_relaxed);
  purge_cadence_ms_.store(settings.purge_cadence_ms, std::memory_order_relaxed);
  prof_.store(settings.prof, std::memory_order_relaxed);
  prof_sample_interval_.store(settings.prof_sample_interval, std::memory_order_relaxed);
  leak_detector_.store(settings.leak_detector, std::memory_order_relaxed);
}

Settings SettingsRecord::load() const noexcept {
  Settings settings;
  settings.max_retained_segments = max_retained_segments_.load(std::memory_order_relaxed);
  settings.enable_hugepage_hint = enable_hugepage_hint_.load(std::memory_order_relaxed);
  settings.purge_cadence_ms = purge_cadence_ms_.load(std::memory_order_relaxed);
  settings.prof = prof_.load(std::memory_order_relaxed);
  settings.prof_sample_interval = prof_sample_interval_.load(std::memory_order_relaxed);
  settings.leak_detector = leak_detector_.load(std::memory_order_relaxed);
  return settings;
}

namespace {

// Constant-initialised, so no first-use guard: a process forked while another
// thread was reading its settings for the first time would find such a guard
// taken for ever. Trivially destructible, so still usable while the process
// exits.
constinit SettingsRecord g_process_settings;

}  // namespace

SettingsRecord& process_settings() noexcept { return g_process_settings; }

}  // namespace pelmark
