#include "pelmark/configuration.h"

#include <algorithm>
#include <atomic>

#include "pelmark/decay_scheduler.h"
#include "pelmark/environment_setting_parse.h"
#include "pelmark/profiler/profiler_control.h"
#include "platform/environment.h"

namespace pelmark {

namespace {

std::optional<std::uint64_t> read_unsigned(const EnvironmentReader& read, const char* name) {
  const std::optional<std::string> raw = read(name);
  if (!raw) return std::nullopt;
  return parse_unsigned_setting(*raw);
}

std::optional<bool> read_boolean(const EnvironmentReader& read, const char* name) {
  const std::optional<std::string> raw = read(name);
  if (!raw) return std::nullopt;
  return parse_boolean_setting(*raw);
}

}  // namespace

void apply_environment_settings(const EnvironmentReader& read, SettingsRecord& record,
                                const ConfigurationEffects& effects) {
  Settings settings = record.load();
  if (const auto limit = read_unsigned(read, kMaxRetainedSegmentsVariable)) {
    settings.max_retained_segments =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(*limit, kMaxRetainedSegmentsLimit));
    record.store(settings);
  }
  if (const auto hint = read_boolean(read, kHugepageHintVariable)) {
    settings.enable_hugepage_hint = *hint;
    record.store(settings);
  }
  if (const auto cadence = read_unsigned(read, kPurgeCadenceVariable)) {
    settings.purge_cadence_ms = *cadence;
    record.store(settings);
    if (*cadence != 0) effects.start_decay();
  }
  if (read_boolean(read, kProfVariable).value_or(false)) {
    settings.prof = true;
    settings.prof_sample_interval =
        read_unsigned(read, kProfSampleIntervalVariable).value_or(kDefaultSampleInterval);
    record.store(settings);
    effects.enable_sampling(settings.prof_sample_interval);
  }
  if (read_boolean(read, kLeakDetectorVariable).value_or(false)) {
    settings.leak_detector = true;
    record.store(settings);
    effects.enable_leak_detector();
  }
}

void configure_from_environment_once() {
  static std::atomic<int> started{0};
  if (started.exchange(1, std::memory_order_acq_rel) != 0) return;
  const ConfigurationEffects effects{
      .start_decay = &start_decay,
      .enable_sampling = [](std::uint64_t interval) { enable_sampling(interval); },
      .enable_leak_detector = [] { enable_leak_detector(); },
  };
  apply_environment_settings(&platform::environment_variable, process_settings(), effects);
}

}  // namespace pelmark
