// The configuration step over an injected environment and a fresh settings
// record, and the process-wide step (in a child process, since it runs once
// per process).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "pelmark/allocator.h"
#include "pelmark/configuration.h"
#include "pelmark/settings.h"
#include "support/environment_variable.h"

namespace pelmark {
namespace {

using Environment = std::map<std::string, std::string>;

auto fields(const Settings& s) {
  return std::tuple(s.max_retained_segments, s.enable_hugepage_hint, s.purge_cadence_ms, s.prof,
                    s.prof_sample_interval, s.leak_detector);
}

struct StepRun {
  Settings settings;
  std::vector<std::string> effects;
  std::vector<std::string> reads;
};

// Each effect notes what the record held when it ran: a setting must be
// stored before the effect that depends on it.
StepRun run_step(const Environment& environment, const Settings& initial = {}) {
  StepRun run;
  SettingsRecord record(initial);
  const EnvironmentReader read = [&](const char* name) -> std::optional<std::string> {
    run.reads.emplace_back(name);
    const auto found = environment.find(name);
    if (found == environment.end()) return std::nullopt;
    return found->second;
  };
  const ConfigurationEffects effects{
      .start_decay = [&] { run.effects.push_back("decay " + std::to_string(record.load().purge_cadence_ms)); },
      .enable_sampling =
          [&](std::uint64_t interval) {
            const Settings now = record.load();
            run.effects.push_back("sampling " + std::to_string(interval) + (now.prof ? " recorded" : ""));
          },
      .enable_leak_detector =
          [&] { run.effects.push_back(record.load().leak_detector ? "leak recorded" : "leak"); },
  };
  apply_environment_settings(read, record, effects);
  run.settings = record.load();
  return run;
}

Settings with(auto change) {
  Settings settings;
  change(settings);
  return settings;
}

struct StepCase {
  const char* name;
  Environment environment;
  Settings expected;
  std::vector<std::string> expected_effects;
  Settings initial = {};
};

TEST(ConfigurationStep, SettingsAndEffects) {
  // A record whose limit is not the default shows whether a value was taken.
  const Settings limit_three = with([](Settings& s) { s.max_retained_segments = 3; });
  const StepCase cases[] = {
      {"nothing set", {}, Settings{}, {}},
      {"limit above the maximum", {{kMaxRetainedSegmentsVariable, "5000"}},
       with([](Settings& s) { s.max_retained_segments = 1024; }), {}, limit_three},
      {"limit beyond 32 bits", {{kMaxRetainedSegmentsVariable, "4294967301"}},
       with([](Settings& s) { s.max_retained_segments = 1024; }), {}, limit_three},
      {"limit with plus", {{kMaxRetainedSegmentsVariable, "+7"}},
       with([](Settings& s) { s.max_retained_segments = 7; }), {}},
      {"limit zero", {{kMaxRetainedSegmentsVariable, "0"}},
       with([](Settings& s) { s.max_retained_segments = 0; }), {}},
      {"limit negative", {{kMaxRetainedSegmentsVariable, "-7"}}, limit_three, {}, limit_three},
      {"limit trailing junk", {{kMaxRetainedSegmentsVariable, "7x"}}, limit_three, {}, limit_three},
      {"limit empty", {{kMaxRetainedSegmentsVariable, ""}}, limit_three, {}, limit_three},
      {"limit lone plus", {{kMaxRetainedSegmentsVariable, "+"}}, limit_three, {}, limit_three},
      {"limit 32 bytes", {{kMaxRetainedSegmentsVariable, std::string(31, '0') + "5"}}, limit_three, {},
       limit_three},
      {"limit padded", {{kMaxRetainedSegmentsVariable, " 12 "}},
       with([](Settings& s) { s.max_retained_segments = 12; }), {}},
      {"hint off", {{kHugepageHintVariable, "False"}},
       with([](Settings& s) { s.enable_hugepage_hint = false; }), {}},
      {"hint unreadable", {{kHugepageHintVariable, "yes"}}, Settings{}, {}},
      {"cadence", {{kPurgeCadenceVariable, "100"}}, with([](Settings& s) { s.purge_cadence_ms = 100; }),
       {"decay 100"}},
      {"cadence zero", {{kPurgeCadenceVariable, "0"}}, Settings{}, {}},
      {"cadence largest", {{kPurgeCadenceVariable, "18446744073709551615"}},
       with([](Settings& s) { s.purge_cadence_ms = UINT64_MAX; }), {"decay 18446744073709551615"}},
      {"cadence overflowing", {{kPurgeCadenceVariable, "18446744073709551616"}}, Settings{}, {}},
      {"prof default interval", {{kProfVariable, "TRUE"}}, with([](Settings& s) { s.prof = true; }),
       {"sampling 524288 recorded"}},
      {"prof interval", {{kProfVariable, "1"}, {kProfSampleIntervalVariable, "4096"}},
       with([](Settings& s) { s.prof = true, s.prof_sample_interval = 4096; }), {"sampling 4096 recorded"}},
      {"prof unreadable interval", {{kProfVariable, "true"}, {kProfSampleIntervalVariable, "4k"}},
       with([](Settings& s) { s.prof = true; }), {"sampling 524288 recorded"}},
      {"prof off", {{kProfVariable, "false"}, {kProfSampleIntervalVariable, "4096"}}, Settings{}, {}},
      {"prof unreadable", {{kProfVariable, "on"}, {kProfSampleIntervalVariable, "4096"}}, Settings{}, {}},
      {"leak detector", {{kLeakDetectorVariable, "True"}}, with([](Settings& s) { s.leak_detector = true; }),
       {"leak recorded"}},
      {"leak detector off", {{kLeakDetectorVariable, "0"}}, Settings{}, {}},
      {"everything",
       {{kMaxRetainedSegmentsVariable, "9"},
        {kHugepageHintVariable, "0"},
        {kPurgeCadenceVariable, "50"},
        {kProfVariable, "true"},
        {kProfSampleIntervalVariable, "64"},
        {kLeakDetectorVariable, "1"}},
       Settings{.max_retained_segments = 9,
                .enable_hugepage_hint = false,
                .purge_cadence_ms = 50,
                .prof = true,
                .prof_sample_interval = 64,
                .leak_detector = true},
       {"decay 50", "sampling 64 recorded", "leak recorded"}},
  };
  for (const StepCase& c : cases) {
    const StepRun run = run_step(c.environment, c.initial);
    EXPECT_EQ(fields(run.settings), fields(c.expected)) << c.name;
    EXPECT_EQ(run.effects, c.expected_effects) << c.name;
  }
}

TEST(ConfigurationStep, SampleIntervalIsReadOnlyWhenProfiling) {
  const std::vector<std::string> without_interval = {kMaxRetainedSegmentsVariable, kHugepageHintVariable,
                                                     kPurgeCadenceVariable, kProfVariable,
                                                     kLeakDetectorVariable};
  EXPECT_EQ(run_step({}).reads, without_interval);
  EXPECT_EQ(run_step({{kProfVariable, "0"}}).reads, without_interval);
  const std::vector<std::string> with_interval = {kMaxRetainedSegmentsVariable, kHugepageHintVariable,
                                                  kPurgeCadenceVariable, kProfVariable,
                                                  kProfSampleIntervalVariable, kLeakDetectorVariable};
  EXPECT_EQ(run_step({{kProfVariable, "1"}}).reads, with_interval);
}

[[noreturn]] void fail_child(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::_Exit(1);
}

// Runs in a fresh child: the first allocation there is the process's first.
void configure_in_fresh_process() {
  test_support::set_environment_variable(kMaxRetainedSegmentsVariable, "3");
  test_support::set_environment_variable(kHugepageHintVariable, "false");
  pelmark::deallocate(pelmark::allocate(64, 16));
  Settings settings = process_settings().load();
  if (settings.max_retained_segments != 3 || settings.enable_hugepage_hint) {
    fail_child("the first allocation did not apply the environment");
  }
  // Later calls, direct or from new threads' first allocations, do nothing.
  test_support::set_environment_variable(kMaxRetainedSegmentsVariable, "5");
  configure_from_environment_once();
  settings = process_settings().load();
  if (settings.max_retained_segments != 3) fail_child("the step ran a second time");
  std::_Exit(0);
}

TEST(ConfigurationStepDeathTest, ProcessStepRunsOnFirstAllocationOnly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(configure_in_fresh_process(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace pelmark
