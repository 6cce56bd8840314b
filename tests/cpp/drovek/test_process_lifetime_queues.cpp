// The process-wide executor's queues live until the process ends; with the
// leak detector on they are recorded as such (not as leaks), including the
// storages its deques grow into later. Every case runs in a child process:
// the leak detector cannot be turned off.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "drovek/parallel/parallel_for.h"
#include "drovek/scheduler/work_deque.h"
#include "pelmark/process_lifetime.h"
#include "pelmark/profiler/leak_report.h"
#include "pelmark/profiler/profiler_control.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::JobLedger;
using testing_support::ledger_job;

struct RecordCount {
  std::size_t process_lifetime = 0;
  std::size_t other = 0;
};

RecordCount live_records() {
  RecordCount count;
  for (const auto& record : pelmark::profiler::live_allocations_snapshot()) {
    ++(record.process_lifetime ? count.process_lifetime : count.other);
  }
  return count;
}

void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "child check failed: %s\n", what);
  std::_Exit(1);
}

// Pushes enough jobs to grow the deque twice, then runs them all.
void grow_twice_and_drain(WorkDeque& deque) {
  JobLedger ledger(300);
  for (std::size_t id = 0; id < 300; ++id) deque.push(ledger_job(ledger, id));
  check(deque.capacity() == 512, "grown twice");
  while (std::optional<Job> job = deque.pop()) job->run(*job, 0);
}

[[noreturn]] void deque_storages_follow_the_scope_of_the_deque() {
  pelmark::enable_leak_detector();
  {
    std::unique_ptr<WorkDeque> lasting;
    {
      const pelmark::ProcessLifetimeAllocations lifetime;
      lasting = std::make_unique<WorkDeque>(128);
    }
    grow_twice_and_drain(*lasting);  // outside the scope: still the deque's
    const RecordCount count = live_records();
    check(count.process_lifetime == 3 && count.other == 0, "current and retired storages marked");

    WorkDeque ordinary(128);
    grow_twice_and_drain(ordinary);
    check(live_records().other == 3, "an ordinary deque's storages are not marked");
  }
  const RecordCount count = live_records();
  check(count.process_lifetime == 0 && count.other == 0, "every storage freed with its deque");
  std::exit(0);
}

TEST(ProcessLifetimeQueuesDeathTest, DequeStoragesFollowTheScopeTheDequeWasMadeIn) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(deque_storages_follow_the_scope_of_the_deque(), ::testing::ExitedWithCode(0), "");
}

[[noreturn]] void global_executor_queues_are_process_lifetime() {
  pelmark::enable_leak_detector();
  std::vector<int> seen(10000, 0);
  for_each_index(seen.size(), [&](std::size_t i) { ++seen[i]; });  // creates the executor
  check(seen == std::vector<int>(seen.size(), 1), "every index once");
  const RecordCount count = live_records();
  check(count.process_lifetime > 0, "the queues are recorded");
  check(count.other == 0, "nothing else stays allocated");
  std::exit(0);
}

TEST(ProcessLifetimeQueuesDeathTest, TheProcessWideExecutorsQueuesAreNotLeaks) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(global_executor_queues_are_process_lifetime(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace drovek
