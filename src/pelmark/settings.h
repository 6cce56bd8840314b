#pragma once
// The allocator's settings. The process-wide record starts at the defaults
// and is filled once from the environment by the configuration step; threads
// read it without locks (relaxed atomics: each value is independent, and a
// thread that reads before the step finished simply uses the default).

#include <atomic>
#include <cstdint>

namespace pelmark {

// Upper bound, and default, of each node's retained-segment pool: 1024
// segments of 2 MiB keep at most 2 GiB per node ready for reuse.
inline constexpr std::uint32_t kMaxRetainedSegmentsLimit = 1024;
// Mean bytes between two sampled allocations.
inline constexpr std::uint64_t kDefaultSampleInterval = 524288;

struct Settings {
  std::uint32_t max_retained_segments = kMaxRetainedSegmentsLimit;  // 0 disables retention
  bool enable_hugepage_hint = true;   // recorded only
  std::uint64_t purge_cadence_ms = 0;  // 0: no decay thread
  bool prof = false;
  std::uint64_t prof_sample_interval = kDefaultSampleInterval;
  bool leak_detector = false;
};

class SettingsRecord {
 public:
  constexpr SettingsRecord() = default;
  explicit SettingsRecord(const Settings& settings) { store(settings); }

  // Values above the limit are reduced to it.
  void store(const Settings& settings) noexcept;
  Settings load() const noexcept;

  std::uint32_t max_retained_segments() const noexcept {
    return max_retained_segments_.load(std::memory_order_relaxed);
  }

 private:
  std::atomic<std::uint32_t> max_retained_segments_{kMaxRetainedSegmentsLimit};
  std::atomic<bool> enable_hugepage_hint_{true};
  std::atomic<std::uint64_t> purge_cadence_ms_{0};
  std::atomic<bool> prof_{false};
  std::atomic<std::uint64_t> prof_sample_interval_{kDefaultSampleInterval};
  std::atomic<bool> leak_detector_{false};
};

// The process-wide record, at its defaults until the configuration step.
SettingsRecord& process_settings() noexcept;

}  // namespace pelmark
