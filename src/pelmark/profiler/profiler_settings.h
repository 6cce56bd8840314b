#pragma once
// The profiler's process-wide modes. Written only by enable_sampling and
// enable_leak_detector (under one configuration mutex), read on every
// allocation without a lock. A mode once on stays on.

#include <atomic>
#include <cstdint>

namespace pelmark::profiler {

inline constexpr std::uint64_t kDefaultSampleInterval = 524288;

struct ProfilerSettings {
  std::atomic<bool> sampling{false};
  std::atomic<bool> leak_detector{false};
  std::atomic<std::uint64_t> sample_interval{kDefaultSampleInterval};
  // Either mode; stored last (release) so that a thread seeing it on also
  // sees the mode that turned it on.
  std::atomic<bool> active{false};
};

extern constinit ProfilerSettings g_profiler_settings;

inline bool profiling_active() noexcept { return g_profiler_settings.active.load(std::memory_order_acquire); }
inline bool leak_detector_on() noexcept { return g_profiler_settings.leak_detector.load(std::memory_order_relaxed); }
inline std::uint64_t sample_interval() noexcept {
  return g_profiler_settings.sample_interval.load(std::memory_order_relaxed);
}

}  // namespace pelmark::profiler
