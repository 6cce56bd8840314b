#pragma once
// The configuration step: reads the PELMARK_ environment variables into the
// process settings, starts the decay thread and turns on the profiler modes
// they ask for. Runs once per process, on the first allocation that finds no
// thread heap; later calls return at once.
//
// It runs inside that allocation but holds no allocator lock and uses only
// the C++ heap, so nothing it does can wait on pelmark. A decay thread the
// system refuses throws platform::InvariantFailure out of the allocation
// (the step is not repeated; later allocations go on without decay).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "pelmark/settings.h"

namespace pelmark {

inline constexpr char kMaxRetainedSegmentsVariable[] = "PELMARK_MAX_RETAINED_SEGMENTS";
inline constexpr char kHugepageHintVariable[] = "PELMARK_ENABLE_HUGEPAGE_HINT";
inline constexpr char kPurgeCadenceVariable[] = "PELMARK_PURGE_CADENCE_MS";
inline constexpr char kProfVariable[] = "PELMARK_PROF";
inline constexpr char kProfSampleIntervalVariable[] = "PELMARK_PROF_SAMPLE_INTERVAL";
inline constexpr char kLeakDetectorVariable[] = "PELMARK_LEAK_DETECTOR";

// A variable's raw value, nullopt when it is missing.
using EnvironmentReader = std::function<std::optional<std::string>(const char* name)>;

// What the settings turn on besides being recorded.
struct ConfigurationEffects {
  std::function<void()> start_decay;
  std::function<void(std::uint64_t interval)> enable_sampling;
  std::function<void()> enable_leak_detector;
};

// The step itself, in its fixed order: retained-segment limit, hugepage hint,
// purge cadence (starting decay when nonzero), profiling, leak detector.
// Each setting is stored in `record` before the effect it triggers, so the
// effect already sees it. Variables that are not set keep their defaults.
void apply_environment_settings(const EnvironmentReader& read, SettingsRecord& record,
                                const ConfigurationEffects& effects);

// The step over the process environment, process settings, decay thread and
// profiler; only the first call in the process does anything.
void configure_from_environment_once();

}  // namespace pelmark
