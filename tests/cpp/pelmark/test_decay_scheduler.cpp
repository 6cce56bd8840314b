// The decay thread's schedule, with a counting pass in place of the purge.
// A started scheduler's thread never exits, so real threads are started only
// in child processes.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "pelmark/decay_scheduler.h"
#include "platform/invariant_failure.h"

namespace pelmark {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using namespace std::chrono_literals;

struct DeadlineCase {
  const char* name;
  steady_clock::time_point start;
  std::uint64_t cadence_ms;
  steady_clock::time_point expected;
};

TEST(DecayDeadline, AddsTheCadenceOrSaturates) {
  const steady_clock::time_point one_second{1s};
  const steady_clock::time_point forever = steady_clock::time_point::max();
  const DeadlineCase cases[] = {
      {"cadence", one_second, 100, one_second + 100ms},
      {"zero waits for requests only", one_second, 0, forever},
      {"largest cadence", one_second, UINT64_MAX, forever},
      {"cadence beyond the signed range", one_second, std::uint64_t{1} << 63, forever},
      {"cadence just past the clock's end", forever - 200ms, 300, forever},
      {"cadence just before the clock's end", forever - 200ms, 100, forever - 100ms},
      {"start at the clock's end", forever, 1, forever},
  };
  for (const DeadlineCase& c : cases) EXPECT_EQ(decay_deadline(c.start, c.cadence_ms), c.expected) << c.name;
}

TEST(DecayScheduler, StartsOneNamedThreadWithA2MiBStack) {
  int spawns = 0;
  std::string name;
  std::size_t stack_bytes = 0;
  SettingsRecord settings(Settings{.purge_cadence_ms = 100});
  // The fake never runs the body, so no thread outlives the test.
  DecayScheduler scheduler([] {}, settings,
                           [&](std::string n, std::size_t s, std::move_only_function<void()>)
                               -> std::expected<platform::ThreadHandle, int> {
                             ++spawns;
                             name = std::move(n);
                             stack_bytes = s;
                             return platform::ThreadHandle{};
                           });
  scheduler.start();
  scheduler.start();
  EXPECT_EQ(spawns, 1);
  EXPECT_EQ(name, "pelmark-decay");
  EXPECT_EQ(stack_bytes, std::size_t{2} << 20);
}

TEST(DecayScheduler, RefusedThreadIsAnInvariantFailure) {
  int spawns = 0;
  SettingsRecord settings(Settings{.purge_cadence_ms = 100});
  DecayScheduler scheduler([] {}, settings,
                           [&](std::string, std::size_t, std::move_only_function<void()>)
                               -> std::expected<platform::ThreadHandle, int> {
                             ++spawns;
                             return std::unexpected(EAGAIN);
                           });
  try {
    scheduler.start();
    ADD_FAILURE() << "no invariant failure";
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message(), "Failed to spawn pelmark-decay thread");
  }
  // Not retried: the step that starts it runs once anyway.
  EXPECT_NO_THROW(scheduler.start());
  EXPECT_EQ(spawns, 1);
}

[[noreturn]] void fail_child(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::_Exit(1);
}

// Polls (no timing assertion: the limit only bounds a hung run).
bool eventually(auto condition) {
  const auto give_up = steady_clock::now() + 20s;
  while (!condition()) {
    if (steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

void requested_passes_with_a_huge_cadence() {
  static std::atomic<int> passes{0};
  static SettingsRecord settings(Settings{.purge_cadence_ms = UINT64_MAX});
  auto* scheduler = new DecayScheduler([] { passes.fetch_add(1); }, settings);
  scheduler->start();
  if (!eventually([] { return passes.load() >= 1; })) fail_child("start ran no pass");
  scheduler->request_pass();
  if (!eventually([] { return passes.load() >= 2; })) fail_child("a request ran no pass");
  // A deadline that wrapped into the past would have the thread spin.
  if (passes.load() != 2) fail_child("passes ran without a request or the cadence");
  std::_Exit(0);
}

void periodic_passes() {
  static std::atomic<int> passes{0};
  static SettingsRecord settings(Settings{.purge_cadence_ms = 20});
  auto* scheduler = new DecayScheduler([] { passes.fetch_add(1); }, settings);
  scheduler->start();
  if (!eventually([] { return passes.load() >= 4; })) fail_child("the cadence ran no passes");
  std::_Exit(0);
}

TEST(DecaySchedulerDeathTest, RequestedPassesRunAtOnceWhateverTheCadence) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(requested_passes_with_a_huge_cadence(), ::testing::ExitedWithCode(0), "");
}

TEST(DecaySchedulerDeathTest, PassesRepeatAtTheCadence) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(periodic_passes(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace pelmark
